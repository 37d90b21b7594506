# SPDX-License-Identifier: MIT
#
# cmake -D GREET_ARCHIVE=FILE -D GREET_AR=AR -D GREET_EPOCH=SECONDS
#       [-D GREET_SIGNATURE=FILE.asc] -P repack.cmake
#
# Packs one archive that cpack made again, so that it has the same bytes
# wherever it is made, then signs it. Run by after-pack.cmake; a failure
# here fails the whole cpack run.
#
# CMake's archives do not have the same bytes everywhere: its .tar.gz and
# .zip store members in the order the build machine's directory lists them
# and record the builder's user; every archive takes directory modes from
# the builder's umask; and a .deb's Installed-Size counts the space
# directories take on the build machine's filesystem. So each archive is
# unpacked and packed again with the same members, bytes and names: in byte
# order of name, owned by root, mode 0755 for directories and programs and
# 0644 for the rest, all dated GREET_EPOCH; a .deb's members get mode 0644,
# owner 0 and time 0, its Installed-Size is counted as dpkg-gencontrol
# counts, and its Depends is what dpkg-shlibdeps finds. A .tar.gz or .deb
# needs GNU tar, in its gnu format, whose headers are the same from tar 1.34
# (Debian 12) and 1.35 (Debian 13), and gzip; a .zip Info-ZIP's zip.
# `cmake -E tar` cannot stand in for GNU tar, as it records the owner of
# the files it packs. What retires this file: CMake 4.3's CPACK_ARCHIVE_UID
# and CPACK_ARCHIVE_GID, which default to root, do the owner; the member
# order, modes and Installed-Size wait on CMake itself.
#
# With GREET_SIGNATURE, gpg --local-user $GREET_SIGNING_KEY writes there a
# detached, ASCII-armoured OpenPGP signature of the archive.
cmake_policy(VERSION 3.25)
set(package ${GREET_ARCHIVE})
get_filename_component(name ${package} NAME)
if(NOT name MATCHES "\\.(tar\\.gz|zip|deb)$")
  message(FATAL_ERROR "${name}: greet's archives are .tar.gz, .zip and .deb; no other is made "
                      "the same way twice.")
endif()
# Every member's date: GREET_EPOCH, which after-pack.cmake passes from the
# SOURCE_DATE_EPOCH that cpack.cmake set, written as touch -t takes it, in
# UTC (touch -d takes @SECONDS only in GNU's touch). string(TIMESTAMP)
# gives the time of SOURCE_DATE_EPOCH where it is set, not the current one.
set(ENV{SOURCE_DATE_EPOCH} ${GREET_EPOCH})
string(TIMESTAMP stamp "%Y%m%d%H%M.%S" UTC)

# run COMMAND...: runs a command in the folder cwd, stopping when it fails.
function(run)
  execute_process(COMMAND ${ARGN} WORKING_DIRECTORY ${cwd} COMMAND_ERROR_IS_FATAL ANY)
endfunction()

# lines OUT TEXT: the lines of TEXT as a list.
function(lines out text)
  string(REGEX REPLACE "\n$" "" text "${text}")
  string(REPLACE "\n" ";" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
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
  lines(members "${members}")
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
      COMMAND ${GREET_TAR} --create --file=- --format=gnu --owner=root:0 --group=root:0
              --no-recursion --verbatim-files-from --files-from=${dir}.list
      COMMAND ${GREET_GZIP} -9n
      WORKING_DIRECTORY ${dir} OUTPUT_FILE ${archive} COMMAND_ERROR_IS_FATAL ANY)
  endif()
  file(REMOVE ${dir}.list)
endfunction()

# deb_fields CONTROL DATA_DIR MEMBERS: sets, in the Debian control file
# CONTROL, Installed-Size to what dpkg-gencontrol counts for the MEMBERS of
# DATA_DIR (each file's size rounded up to KiB, 1 KiB for each directory or
# link), and Depends to the libraries that dpkg-shlibdeps finds the
# programs among them need.
function(deb_fields control data_dir members)
  set(kib 0)
  set(programs "")
  foreach(member IN LISTS members)
    set(path ${data_dir}/${member})
    if(IS_DIRECTORY ${path} OR IS_SYMLINK ${path})
      math(EXPR kib "${kib} + 1")
    else()
      file(SIZE ${path} size)
      math(EXPR kib "${kib} + (${size} + 1023) / 1024")
      if(member MATCHES "(^|/)bin/[^/]+$")
        list(APPEND programs ${member})
      endif()
    endif()
  endforeach()
  # dpkg-shlibdeps reads debian/control, and takes the folder that holds
  # DEBIAN for the package's root.
  file(WRITE ${data_dir}/debian/control "")
  file(MAKE_DIRECTORY ${data_dir}/DEBIAN)
  execute_process(
    COMMAND dpkg-shlibdeps -O ${programs}
    WORKING_DIRECTORY ${data_dir}
    RESULT_VARIABLE status
    OUTPUT_VARIABLE substvars)
  file(REMOVE_RECURSE ${data_dir}/debian ${data_dir}/DEBIAN)
  if(NOT status EQUAL 0 OR NOT substvars MATCHES "shlibs:Depends=([^\n]+)")
    message(FATAL_ERROR "dpkg-shlibdeps (package dpkg-dev) could not name the libraries that "
                        "'${programs}' need (status ${status}).")
  endif()
  set(depends "${CMAKE_MATCH_1}")
  file(READ ${control} text)
  string(REGEX REPLACE "\nInstalled-Size: [0-9]+\n" "\nInstalled-Size: ${kib}\nDepends: ${depends}\n"
                       text "${text}")
  file(WRITE ${control} "${text}")
endfunction()

if(NOT name MATCHES "\\.zip$")
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
if(name MATCHES "\\.deb$")
  file(REMOVE_RECURSE ${scratch})
  file(MAKE_DIRECTORY ${scratch})
  set(cwd ${scratch})
  execute_process(COMMAND ${GREET_AR} t ${package} OUTPUT_VARIABLE ar_members
                  COMMAND_ERROR_IS_FATAL ANY)
  lines(ar_members "${ar_members}")
  if(NOT ar_members MATCHES "^debian-binary;control\\.tar\\.gz;data\\.tar\\.gz$")
    message(FATAL_ERROR "${package}: members ${ar_members}; only gzip is repacked")
  endif()
  run(${GREET_AR} x ${package})

  unpack(${scratch}/data.tar.gz ${scratch}/data members)
  unpack(${scratch}/control.tar.gz ${scratch}/control control_members)
  deb_fields(${scratch}/control/control ${scratch}/data "${members}")
  set(cwd ${scratch}/control)
  run(touch -t ${stamp} control)
  pack(${scratch}/data.tar.gz ${scratch}/data "${members}")
  pack(${scratch}/control.tar.gz ${scratch}/control "${control_members}")

  file(REMOVE ${package})
  set(cwd ${scratch})
  run(${GREET_AR} rcDS ${package} ${ar_members})
else()
  unpack(${package} ${scratch} members)
  pack(${package} ${scratch} "${members}")
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
