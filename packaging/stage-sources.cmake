# SPDX-FileCopyrightText: 2026 The greet authors
# SPDX-License-Identifier: MIT
#
# The one answer to "which files are the sources": in a git checkout (the
# source folder holds .git), the files git tracks, so that no build, secret
# or .git/ of the builder's reaches a source archive; in sources unpacked
# from the source archive, every file but those of build folders (any
# folder holding a CMakeCache.txt) and of any .git. The path is resolved,
# so that a folder reached through a symbolic link is still the checkout.
#
# Run by cpack (CPACK_INSTALL_SCRIPTS) to stage the source archive, which in
# a checkout must be a commit: a tracked file that differs from HEAD stops
# the run. The tests list the files, or copy them into GREET_COPY_TO:
#   cmake -D GREET_SOURCE_DIR=DIR [-D GREET_COPY_TO=DIR] -P stage-sources.cmake
cmake_policy(VERSION 3.25)
if(DEFINED CPACK_GREET_SOURCE_DIR)
  set(GREET_SOURCE_DIR ${CPACK_GREET_SOURCE_DIR})
  set(GREET_COPY_TO ${CMAKE_INSTALL_PREFIX})
endif()
file(REAL_PATH "${GREET_SOURCE_DIR}" source)

# git COMMAND...: what git prints, or the run stops. git refuses a checkout
# that another user owns (root packaging a user's checkout, a container),
# lest its configuration run commands; whoever packages runs this checkout's
# CMakeLists.txt all the same, so it is trusted as much, and the one setting
# that makes these commands run another is turned off; nor is the index
# rewritten, which would give root files in a user's .git.
function(git out)
  execute_process(
    COMMAND ${GREET_GIT} --no-optional-locks -c safe.directory=${source} -c core.fsmonitor=false -c core.quotePath=false ${ARGN}
    WORKING_DIRECTORY ${source} RESULT_VARIABLE status OUTPUT_VARIABLE text ERROR_VARIABLE error)
  if(NOT status EQUAL 0)
    string(REPLACE ";" " " command "${ARGN}")
    message(FATAL_ERROR "${source} is a git checkout, and 'git ${command}' failed (${status}): ${error}"
                        "Mend the checkout so that git can read it, or package sources unpacked "
                        "from the source archive.")
  endif()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

if(EXISTS ${source}/.git)
  find_program(GREET_GIT git)
  if(NOT GREET_GIT)
    message(FATAL_ERROR "${source} is a git checkout, and git cannot be found. Install git, or "
                        "package sources unpacked from the source archive.")
  endif()
  if(DEFINED CPACK_GREET_SOURCE_DIR)
    git(changed status --porcelain --untracked-files=no)
    if(NOT changed STREQUAL "")
      # Indented, the lines are printed as they are.
      string(REGEX REPLACE "([^\n]+)" "  \\1" changed "${changed}")
      message(FATAL_ERROR "${source}: the source archive is made from a commit, and these tracked "
                          "files differ from HEAD:\n${changed}Commit them, or put them back "
                          "(git stash), and run cpack again.")
    endif()
  endif()
  git(files ls-files)
  string(REGEX REPLACE "\n$" "" files "${files}")
  string(REPLACE "\n" ";" files "${files}")
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
