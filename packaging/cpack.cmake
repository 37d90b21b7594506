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

# The archive this run makes replaces one from an earlier run from the start,
# so that a run that fails leaves none of it behind.
if(CPACK_GENERATOR STREQUAL "DEB")
  set(archive ${CPACK_DEBIAN_FILE_NAME})
elseif(CPACK_GENERATOR STREQUAL "ZIP")
  set(archive ${CPACK_PACKAGE_FILE_NAME}.zip)
else()
  set(archive ${CPACK_PACKAGE_FILE_NAME}.tar.gz)
endif()
file(REMOVE ${CPACK_PACKAGE_DIRECTORY}/${archive} ${CPACK_PACKAGE_DIRECTORY}/${archive}.sha256)

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
