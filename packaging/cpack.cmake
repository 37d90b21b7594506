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

if(CPACK_INSTALL_CMAKE_PROJECTS STREQUAL "")
  # The source archive holds the files that git tracks, as they are in the
  # working tree, rather than everything in the source folder (builds,
  # editor files). Made from a source archive, it holds everything but the
  # build folders.
  set(CPACK_INSTALLED_DIRECTORIES "")
  set(CPACK_INSTALL_SCRIPTS ${CPACK_GREET_SOURCE_DIR}/packaging/source-files.cmake)
  return()
endif()

# The Debian package carries the copyright file and change log that Debian
# requires; the other archives carry the licence and release notes as the
# project writes them.
if(CPACK_GENERATOR STREQUAL "DEB")
  set(components program debian)
else()
  set(components program notes)
endif()
list(GET CPACK_INSTALL_CMAKE_PROJECTS 0 build_dir)
list(GET CPACK_INSTALL_CMAKE_PROJECTS 1 project)
set(CPACK_INSTALL_CMAKE_PROJECTS "")
foreach(component IN LISTS components)
  list(APPEND CPACK_INSTALL_CMAKE_PROJECTS ${build_dir} ${project} ${component} /)
endforeach()
