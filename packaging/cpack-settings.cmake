# SPDX-FileCopyrightText: 2026 The greet authors
# SPDX-License-Identifier: MIT
#
# cpack's settings, read before its generator stages anything.

# Every archive is made by pack-script.cmake, which only the External
# generator runs; another generator would make archives of other bytes.
if(NOT CPACK_GENERATOR STREQUAL "External")
  message(FATAL_ERROR "cpack -G ${CPACK_GENERATOR}: greet's archives are made by its own packing "
                      "step; run cpack without -G (HACKING.md). Nothing was changed.")
endif()

# The release date (HACKING.md), set before staging: strip stamps a Windows
# image it rewrites with SOURCE_DATE_EPOCH, else with the time.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  set(ENV{SOURCE_DATE_EPOCH} ${CPACK_GREET_RELEASE_EPOCH})
endif()

set(CPACK_GREET_THIS_RUN ${CPACK_GREET_ARCHIVES})
if(CPACK_PACKAGE_FILE_NAME STREQUAL CPACK_SOURCE_PACKAGE_FILE_NAME)
  set(CPACK_GREET_THIS_RUN ${CPACK_GREET_SOURCE_ARCHIVE})
  set(CPACK_INSTALL_SCRIPTS ${CPACK_GREET_SOURCE_DIR}/packaging/stage-sources.cmake)
endif()
# An earlier run's files of this kind go before staging, so that a run that
# fails anywhere (staging, a tool, a signature) leaves none of them.
foreach(file IN LISTS CPACK_GREET_THIS_RUN ITEMS ${CPACK_PACKAGE_FILE_NAME}.json)
  file(REMOVE ${CPACK_PACKAGE_DIRECTORY}/${file} ${CPACK_PACKAGE_DIRECTORY}/${file}.sha256
       ${CPACK_PACKAGE_DIRECTORY}/${file}.asc)
endforeach()
