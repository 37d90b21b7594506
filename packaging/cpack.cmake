# SPDX-License-Identifier: MIT
#
# Read by cpack before it makes each package.

# The file times in an archive are the newest release's date in NEWS.md, or
# a SOURCE_DATE_EPOCH that the user set, never the time of packaging. Being
# in the sources themselves, it is the same in a checkout and in the source
# archive, so a download can be rebuilt from the published sources and
# compared byte for byte (Debian likewise dates a package by its change log).
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  set(ENV{SOURCE_DATE_EPOCH} ${CPACK_GREET_RELEASE_EPOCH})
endif()

# A .zip records local times, read in UTC here whatever the time zone.
set(ENV{TZ} UTC0)

# A run's archives are all made or none is left. Before the first of them is
# made, every one goes, with its checksum and signature; a step of ours that
# fails (repack.cmake, source-files.cmake) removes them all again with
# greet_remove_archives(). cpack makes them one generator after another, so a
# generator removes its own and those of the generators after it.
function(greet_remove_archives)
  foreach(archive IN LISTS ARGN)
    set(path ${CPACK_PACKAGE_DIRECTORY}/${archive})
    file(REMOVE ${path} ${path}.sha256 ${path}.asc)
  endforeach()
endfunction()
if(CPACK_PACKAGE_FILE_NAME STREQUAL CPACK_SOURCE_PACKAGE_FILE_NAME)
  set(greet_run_archives ${CPACK_GREET_SOURCE_ARCHIVE})
else()
  set(greet_run_archives ${CPACK_GREET_ARCHIVES})
endif()
list(FIND greet_run_archives "${CPACK_GREET_ARCHIVE_${CPACK_GENERATOR}}" first)
if(first EQUAL -1)
  set(first 0)
endif()
list(SUBLIST greet_run_archives ${first} -1 unmade)
greet_remove_archives(${unmade})

if(CPACK_PACKAGE_FILE_NAME STREQUAL CPACK_SOURCE_PACKAGE_FILE_NAME)
  # The source archive holds the files that source-files.cmake names, as
  # they are in the working tree, rather than everything in the source
  # folder (builds, editor files).
  set(CPACK_INSTALL_SCRIPTS ${CPACK_GREET_SOURCE_DIR}/packaging/source-files.cmake)
  return()
endif()

# Each archive is one package of the components it holds: the Debian
# package the copyright file and change log that Debian requires, the
# others the licence and release notes as the project writes them.
if(CPACK_GENERATOR STREQUAL "DEB")
  set(CPACK_COMPONENTS_ALL program debian)
else()
  set(CPACK_COMPONENTS_ALL program notes)
  # Under the folder named like the archive, as without components.
  set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY ON)
endif()
set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
