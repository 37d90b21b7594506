# SPDX-License-Identifier: MIT
#
# The one answer to "which files are the sources": in a git checkout (the
# source folder holds .git), the files that git tracks, as they are in the
# working tree, or nothing at all when git cannot say, so that no build,
# secret or .git/ of the builder's ever reaches a source archive; else, in
# sources unpacked from the source archive, every file but those of build
# folders (any folder holding a CMakeCache.txt) and of any .git. The path is
# resolved, so that a folder reached through a symbolic link is still known
# as the checkout it is.
#
# Run by cpack (CPACK_INSTALL_SCRIPTS) to fill the source archive, copying
# into CMAKE_INSTALL_PREFIX (a failure here fails cpack before the archive
# is made, and cpack.cmake has removed the old one); and by the tests:
#   cmake -D GREET_SOURCE_DIR=DIR [-D GREET_COPY_TO=DIR] -P source-files.cmake
# copies the files into GREET_COPY_TO, or else lists them one a line.
cmake_policy(VERSION 3.25)
if(DEFINED CPACK_GREET_SOURCE_DIR)
  set(GREET_SOURCE_DIR ${CPACK_GREET_SOURCE_DIR})
  set(GREET_COPY_TO ${CMAKE_INSTALL_PREFIX})
endif()
file(REAL_PATH "${GREET_SOURCE_DIR}" source)

if(EXISTS ${source}/.git)
  find_program(GREET_GIT git)
  if(NOT GREET_GIT)
    message(FATAL_ERROR "${source} is a git checkout, and git, which names the files it tracks, cannot be "
           "found. Install git, or package sources unpacked from the source archive.")
  endif()
  # git refuses a checkout that another user owns (root packaging a user's
  # checkout, a container), lest its configuration run commands. Whoever
  # packages runs this checkout's CMakeLists.txt all the same, so it is
  # trusted as much; the one setting that makes ls-files run a command is
  # turned off all the same.
  execute_process(
    COMMAND ${GREET_GIT} -c safe.directory=${source} -c core.fsmonitor=false
            -c core.quotePath=false ls-files
    WORKING_DIRECTORY ${source}
    RESULT_VARIABLE status
    OUTPUT_VARIABLE files
    ERROR_VARIABLE error)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${source} is a git checkout, and 'git ls-files' could not name the files it "
           "tracks (${status}): ${error}Mend the checkout so that git can read it, or package "
           "sources unpacked from the source archive.")
  endif()
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
  list(FILTER files EXCLUDE REGEX "(^|/)\\.git(/|$)")
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
