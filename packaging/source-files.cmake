# SPDX-License-Identifier: MIT
#
# Run by cpack to fill the source archive: copies into CMAKE_INSTALL_PREFIX
# the files that git tracks, when the sources are a git checkout of their
# own, or else every file but those of build folders (any folder holding a
# CMakeCache.txt), so that a source archive made from a source archive holds
# the same files.
set(source ${CPACK_GREET_SOURCE_DIR})
execute_process(
  COMMAND git rev-parse --show-toplevel
  WORKING_DIRECTORY ${source}
  RESULT_VARIABLE status
  OUTPUT_VARIABLE top
  OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
if(status EQUAL 0)
  file(REAL_PATH "${top}" top)
  file(REAL_PATH "${source}" source_path)
endif()
if(status EQUAL 0 AND top STREQUAL source_path)
  execute_process(COMMAND git -c core.quotePath=false ls-files WORKING_DIRECTORY ${source}
                  OUTPUT_VARIABLE files COMMAND_ERROR_IS_FATAL ANY)
  string(REGEX REPLACE "\n$" "" files "${files}")
  string(REPLACE "\n" ";" files "${files}")
else()
  file(GLOB_RECURSE files RELATIVE ${source} ${source}/*)
  foreach(cache IN LISTS files)
    if(cache MATCHES "^(.+/)CMakeCache\\.txt$")
      string(REGEX REPLACE "([][+.*?()^$|\\])" "\\\\\\1" build "${CMAKE_MATCH_1}")
      list(FILTER files EXCLUDE REGEX "^${build}")
    endif()
  endforeach()
endif()
foreach(file IN LISTS files)
  get_filename_component(dir ${file} DIRECTORY)
  file(COPY ${source}/${file} DESTINATION ${CMAKE_INSTALL_PREFIX}/${dir})
endforeach()
