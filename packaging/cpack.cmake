# SPDX-License-Identifier: MIT
#
# Read by cpack before it makes each package.

# The file times in an archive come from the sources, so that the same
# sources give the same bytes whenever and wherever they are packaged: a
# SOURCE_DATE_EPOCH that the user set, else the time of the last commit when
# the sources are a git checkout of their own, else the newest release's date.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  set(epoch ${CPACK_GREET_RELEASE_EPOCH})
  execute_process(
    COMMAND git rev-parse --show-toplevel
    WORKING_DIRECTORY ${CPACK_GREET_SOURCE_DIR}
    RESULT_VARIABLE status
    OUTPUT_VARIABLE top
    OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  if(status EQUAL 0)
    file(REAL_PATH "${top}" top)
    file(REAL_PATH "${CPACK_GREET_SOURCE_DIR}" source)
    if(top STREQUAL source)
      execute_process(
        COMMAND git log -1 --format=%ct
        WORKING_DIRECTORY ${CPACK_GREET_SOURCE_DIR}
        RESULT_VARIABLE status
        OUTPUT_VARIABLE commit_time
        OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
      if(status EQUAL 0 AND commit_time MATCHES "^[0-9]+$")
        set(epoch ${commit_time})
      endif()
    endif()
  endif()
  set(ENV{SOURCE_DATE_EPOCH} ${epoch})
endif()

# A .zip records local times, read in UTC here whatever the time zone.
set(ENV{TZ} UTC0)

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
