# SPDX-License-Identifier: MIT
#
# Packs every archive that cpack made again, so that it has the same bytes
# wherever it is made. CMake 3.25's archives do not: its .tar.gz and .zip
# store members in the order the build machine's directory lists them and
# record the builder's user; every archive takes directory modes from the
# builder's umask; and a .deb's Installed-Size counts the space directories
# take on the build machine's filesystem. Each archive is unpacked and packed
# again with the same members, bytes and names: in byte order of name, owned
# by root, mode 0755 for directories and programs and 0644 for the rest, all
# dated SOURCE_DATE_EPOCH (which cpack.cmake sets); a .deb's members get mode
# 0644, owner 0 and time 0, and its Installed-Size is counted again
# (installed-size.cmake).
#
# What retires it: CMake 4.3's CPACK_ARCHIVE_UID and CPACK_ARCHIVE_GID, which
# default to root, do the owner; the member order, modes and Installed-Size
# wait on CMake itself. `cmake -E tar` cannot stand in for GNU tar, as it
# records the owner of the files it packs; so a .tar.gz or .deb needs GNU
# tar and gzip, and a .zip Info-ZIP's zip.
#
# With GREET_SIGNING_KEY set in cpack's environment, each archive also gets a
# detached, ASCII-armoured OpenPGP signature, ARCHIVE.asc, made by
# gpg --local-user GREET_SIGNING_KEY.
#
# Run by cpack (CPACK_POST_BUILD_SCRIPTS) after it made the packages and
# before it copies them out and writes their checksums. Each package is
# repacked and signed by this same script in a cmake of its own,
#   cmake -D GREET_ARCHIVE=FILE -D GREET_AR=AR [-D GREET_SIGNATURE=FILE.asc] -P repack.cmake
# so that whatever fails there (a tool, a key, a full disk), the package is
# removed, whole or partial, before cpack copies it out, and with it every
# archive of the run, with its checksum and signature; cpack then stops,
# reporting nothing of it as made.

if(DEFINED CPACK_PACKAGE_FILES)
  foreach(package IN LISTS CPACK_PACKAGE_FILES)
    get_filename_component(name ${package} NAME)
    set(signature "")
    if(NOT "$ENV{GREET_SIGNING_KEY}" STREQUAL "")
      set(signature ${CPACK_PACKAGE_DIRECTORY}/${name}.asc)
    endif()
    execute_process(COMMAND ${CMAKE_COMMAND} -D GREET_ARCHIVE=${package} -D GREET_AR=${CPACK_GREET_AR}
                            -D GREET_SIGNATURE=${signature} -P ${CMAKE_CURRENT_LIST_FILE}
                    RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
      foreach(made IN LISTS CPACK_PACKAGE_FILES)
        file(REMOVE_RECURSE ${made} ${made}.repack)
      endforeach()
      # From cpack.cmake.
      greet_remove_archives(${greet_run_archives})
      list(JOIN greet_run_archives ", " names)
      message(FATAL_ERROR "Packaging failed for the reason above, so none of ${names} is left.")
    endif()
  endforeach()
  return()
endif()

cmake_policy(VERSION 3.25)
set(package ${GREET_ARCHIVE})
get_filename_component(name ${package} NAME)
# touch -t takes the time in this form, in the UTC that cpack.cmake sets; its
# -d takes @SECONDS only in GNU's touch.
string(TIMESTAMP stamp "%Y%m%d%H%M.%S" UTC)
include(${CMAKE_CURRENT_LIST_DIR}/installed-size.cmake)

# run COMMAND...: runs a command in the current folder, stopping when it fails.
function(run)
  execute_process(COMMAND ${ARGN} WORKING_DIRECTORY ${cwd} COMMAND_ERROR_IS_FATAL ANY)
endfunction()

# unpack ARCHIVE DIR MEMBERS: unpacks ARCHIVE into a new DIR with the modes
# and times above, and sets MEMBERS to its member names in byte order.
function(unpack archive dir members_var)
  file(REMOVE_RECURSE ${dir})
  file(MAKE_DIRECTORY ${dir})
  set(cwd ${dir})
  run(${CMAKE_COMMAND} -E tar xf ${archive})
  execute_process(COMMAND ${CMAKE_COMMAND} -E tar tf ${archive} OUTPUT_VARIABLE members
                  COMMAND_ERROR_IS_FATAL ANY)
  string(REGEX REPLACE "\n$" "" members "${members}")
  string(REPLACE "\n" ";" members "${members}")
  # An archive of several components lists their shared directories again.
  list(REMOVE_DUPLICATES members)
  list(SORT members)
  run(chmod -R u=rwX,go=rX .)
  run(find . -exec touch -h -t ${stamp} {} +)
  set(${members_var} "${members}" PARENT_SCOPE)
endfunction()

# pack ARCHIVE DIR MEMBERS: packs the MEMBERS of DIR, in that order, into
# ARCHIVE, a .zip or else a gzipped tar.
function(pack archive dir members)
  list(JOIN members "\n" list)
  file(WRITE ${dir}.list "${list}\n")
  file(REMOVE ${archive})
  set(cwd ${dir})
  if(archive MATCHES "\\.zip$")
    # -X leaves out the extra fields that record the owner and the times.
    find_program(GREET_ZIP zip)
    if(NOT GREET_ZIP)
      message(FATAL_ERROR "Repacking a .zip needs Info-ZIP's zip, which is not on PATH.")
    endif()
    execute_process(COMMAND ${GREET_ZIP} -X -9 -q ${archive} -@ INPUT_FILE ${dir}.list
                    WORKING_DIRECTORY ${dir} COMMAND_ERROR_IS_FATAL ANY)
  else()
    execute_process(
      COMMAND ${GREET_TAR} --create --file=- --format=ustar --owner=root:0 --group=root:0
              --no-recursion --verbatim-files-from --files-from=${dir}.list
      COMMAND ${GREET_GZIP} -9n
      WORKING_DIRECTORY ${dir} OUTPUT_FILE ${archive} COMMAND_ERROR_IS_FATAL ANY)
  endif()
  file(REMOVE ${dir}.list)
endfunction()

if(NOT package MATCHES "\\.zip$")
  # macOS and FreeBSD ship libarchive's bsdtar as tar, which has other options.
  find_program(GREET_TAR NAMES gtar tar)
  if(GREET_TAR)
    execute_process(COMMAND ${GREET_TAR} --version OUTPUT_VARIABLE tar_version ERROR_QUIET)
  endif()
  if(NOT tar_version MATCHES "GNU tar")
    message(FATAL_ERROR "Packaging needs GNU tar, found as gtar or tar, and "
                        "'${GREET_TAR}' is not GNU tar. Install it as gtar "
                        "(FreeBSD: pkg install gtar; macOS: brew install gnu-tar).")
  endif()
  find_program(GREET_GZIP gzip)
  if(NOT GREET_GZIP)
    message(FATAL_ERROR "Packaging needs gzip, which is not on PATH.")
  endif()
endif()

set(scratch ${package}.repack)
if(package MATCHES "\\.(tar\\.gz|zip)$")
  unpack(${package} ${scratch} members)
  pack(${package} ${scratch} "${members}")
elseif(package MATCHES "\\.deb$")
  file(REMOVE_RECURSE ${scratch})
  file(MAKE_DIRECTORY ${scratch})
  set(cwd ${scratch})
  execute_process(COMMAND ${GREET_AR} t ${package} OUTPUT_VARIABLE ar_members
                  COMMAND_ERROR_IS_FATAL ANY)
  string(REGEX REPLACE "\n$" "" ar_members "${ar_members}")
  string(REPLACE "\n" ";" ar_members "${ar_members}")
  if(NOT ar_members MATCHES "^debian-binary;control\\.tar\\.gz;data\\.tar\\.gz$")
    message(FATAL_ERROR "${package}: members ${ar_members}; only gzip is repacked")
  endif()
  run(${GREET_AR} x ${package})

  unpack(${scratch}/data.tar.gz ${scratch}/data members)
  unpack(${scratch}/control.tar.gz ${scratch}/control control_members)
  set_installed_size(${scratch}/control/control ${scratch}/data "${members}")
  set(cwd ${scratch}/control)
  run(touch -t ${stamp} control)
  pack(${scratch}/data.tar.gz ${scratch}/data "${members}")
  pack(${scratch}/control.tar.gz ${scratch}/control "${control_members}")

  file(REMOVE ${package})
  set(cwd ${scratch})
  run(${GREET_AR} rcDS ${package} ${ar_members})
endif()
file(REMOVE_RECURSE ${scratch})

if(GREET_SIGNATURE)
  find_program(GREET_GPG NAMES gpg gpg2)
  if(NOT GREET_GPG)
    message(FATAL_ERROR "GREET_SIGNING_KEY asks for signatures, and gpg cannot be found.")
  endif()
  execute_process(COMMAND ${GREET_GPG} --batch --yes --armor --local-user $ENV{GREET_SIGNING_KEY}
                          --output ${GREET_SIGNATURE} --detach-sign ${package} RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "gpg could not sign ${name} with the key "
                        "'$ENV{GREET_SIGNING_KEY}' that GREET_SIGNING_KEY names.")
  endif()
endif()
