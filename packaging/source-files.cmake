# SPDX-License-Identifier: MIT
#
# The one answer to "which files are the sources": the files that git
# tracks, as they are in the working tree, when the source folder is the top
# of a git checkout of its own; or else every file but those of build
# folders (any folder holding a CMakeCache.txt), so that sources unpacked
# from the source archive give the same answer. Both paths are resolved, so
# that a folder reached through a symbolic link is still known as the
# checkout it is.
#
# Run by cpack (CPACK_INSTALL_SCRIPTS) to fill the source archive, copying
# into CMAKE_INSTALL_PREFIX; and by the test scripts:
#   cmake -D GREET_SOURCE_DIR=DIR [-D GREET_COPY_TO=DIR] -P source-files.cmake
# copies the files into GREET_COPY_TO, or else lists them one a line.
if(DEFINED CPACK_GREET_SOURCE_DIR)
  set(GREET_SOURCE_DIR ${CPACK_GREET_SOURCE_DIR})
  set(GREET_COPY_TO ${CMAKE_INSTALL_PREFIX})
endif()
file(REAL_PATH "${GREET_SOURCE_DIR}" source)

execute_process(
  COMMAND git rev-parse --show-toplevel
  WORKING_DIRECTORY ${source}
  RESULT_VARIABLE status
  OUTPUT_VARIABLE top
  OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
if(status EQUAL 0)
  file(REAL_PATH "${top}" top)
endif()
if(status EQUAL 0 AND top STREQUAL source)
  execute_process(COMMAND git -c core.quotePath=false ls-files WORKING_DIRECTORY ${source}
                  OUTPUT_VARIABLE files COMMAND_ERROR_IS_FATAL ANY)
  string(REGEX REPLACE "\n$" "" files "${files}")
  string(REPLACE "\n" ";" files "${files}")
  # A tracked file deleted from the working tree is not among them.
  set(present "")
  foreach(file IN LISTS files)
    if(EXISTS ${source}/${file} OR IS_SYMLINK ${source}/${file})
      list(APPEND present ${file})
    endif()
  endforeach()
  set(files ${present})
else()
  file(GLOB_RECURSE files RELATIVE ${source} ${source}/*)
  foreach(cache IN LISTS files)
    if(cache MATCHES "^(.+/)CMakeCache\\.txt$")
      string(REGEX REPLACE "([][+.*?()^$|\\])" "\\\\\\1" build "${CMAKE_MATCH_1}")
      list(FILTER files EXCLUDE REGEX "^${build}")
    endif()
  endforeach()
endif()
list(SORT files)

if(DEFINED GREET_COPY_TO)
  foreach(file IN LISTS files)
    get_filename_component(dir ${file} DIRECTORY)
    file(COPY ${source}/${file} DESTINATION ${GREET_COPY_TO}/${dir})
  endforeach()
else()
  list(JOIN files "\n" list)
  execute_process(COMMAND ${CMAKE_COMMAND} -E echo "${list}")
endif()
