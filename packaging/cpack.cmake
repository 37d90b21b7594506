# SPDX-License-Identifier: MIT
#
# Read by cpack before its generator stages anything.

# Every archive is made by pack.cmake, which only the External generator
# runs; another generator would make archives of other bytes, so a -G is
# refused before anything is touched.
if(NOT CPACK_GENERATOR STREQUAL "External")
  message(FATAL_ERROR "cpack -G ${CPACK_GENERATOR}: greet's archives are made by its own packing "
                      "step; run cpack without -G (HACKING.md). Nothing was changed.")
endif()

# The date of the release (HACKING.md), set before staging: strip stamps a
# Windows image it rewrites with SOURCE_DATE_EPOCH, else with the time.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  set(ENV{SOURCE_DATE_EPOCH} ${CPACK_GREET_RELEASE_EPOCH})
endif()

if(CPACK_PACKAGE_FILE_NAME STREQUAL CPACK_SOURCE_PACKAGE_FILE_NAME)
  # The files that source-files.cmake names, rather than everything in the
  # source folder (builds, editor files).
  set(CPACK_INSTALL_SCRIPTS ${CPACK_GREET_SOURCE_DIR}/packaging/source-files.cmake)
endif()
