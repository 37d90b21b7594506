# SPDX-License-Identifier: MIT
#
# Read by cpack before each generator makes its archive (a run of
# `cpack -G "TGZ;DEB"` reads it twice).

# The date of every file in every archive: SOURCE_DATE_EPOCH when the user
# set it, else greet_release_epoch, midnight UTC of the newest release in
# NEWS.md (release.cmake), never the time of packaging. Being in the sources
# themselves, it is the same in a checkout and in the source archive, so a
# download can be rebuilt from the published sources and compared byte for
# byte (Debian likewise dates a package by its change log). repack.cmake
# dates every member with it.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  set(ENV{SOURCE_DATE_EPOCH} ${CPACK_GREET_RELEASE_EPOCH})
endif()

# A .zip records local times, read in UTC here whatever the time zone.
set(ENV{TZ} UTC0)

# A run makes each of its archives anew and leaves every other archive as
# it was: before a generator makes its archive, the archive of the same name
# goes, with its checksum and signature, so that none of them is left from
# an earlier run. (after-pack.cmake removes the build's archives if a step
# fails.)
if(CPACK_PACKAGE_FILE_NAME STREQUAL CPACK_SOURCE_PACKAGE_FILE_NAME)
  set(archive ${CPACK_GREET_SOURCE_ARCHIVE})
else()
  set(archive ${CPACK_GREET_ARCHIVE_${CPACK_GENERATOR}})
endif()
if(archive)
  set(path ${CPACK_PACKAGE_DIRECTORY}/${archive})
  file(REMOVE ${path} ${path}.sha256 ${path}.asc)
endif()

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
