# SPDX-License-Identifier: MIT
#
# Run by cpack after it made each package, before it copies the packages out
# and writes their checksums. CMake 3.25's archives do not have the same
# bytes on every machine: its .tar.gz and .zip store members in the order the
# build machine's directory lists them and record the builder's user; every
# archive takes directory modes from the builder's umask; and a .deb's
# Installed-Size adds the space that directories take on the build
# machine's filesystem. So each archive is unpacked and packed again with the
# same members, bytes and names: in byte order of name, owned by root, mode
# 0755 for directories and programs and 0644 for the rest, all dated
# SOURCE_DATE_EPOCH (which cpack.cmake sets); a .deb's Installed-Size is
# counted as dpkg-gencontrol counts it, each file's size rounded up to KiB
# plus 1 KiB a directory, and its ar members get mode 0644, owner 0 and time
# 0. The script goes when cpack does all this itself; CMake 4.3's
# CPACK_ARCHIVE_UID and CPACK_ARCHIVE_GID, which default to root, do the
# owner.
#
# Needs GNU tar, gzip, chmod, find and touch, and Info-ZIP's zip for a .zip.
set(epoch $ENV{SOURCE_DATE_EPOCH})
find_program(GREET_TAR NAMES gtar tar REQUIRED)
find_program(GREET_GZIP gzip REQUIRED)

# unpack ARCHIVE DIR MEMBERS: unpacks ARCHIVE into a new DIR with the modes
# and times above, and sets MEMBERS to its member names in byte order.
function(unpack archive dir members_var)
  file(REMOVE_RECURSE ${dir})
  file(MAKE_DIRECTORY ${dir})
  execute_process(COMMAND ${CMAKE_COMMAND} -E tar xf ${archive} WORKING_DIRECTORY ${dir}
                  COMMAND_ERROR_IS_FATAL ANY)
  execute_process(COMMAND ${CMAKE_COMMAND} -E tar tf ${archive} OUTPUT_VARIABLE members
                  COMMAND_ERROR_IS_FATAL ANY)
  string(REGEX REPLACE "\n$" "" members "${members}")
  string(REPLACE "\n" ";" members "${members}")
  list(SORT members)
  execute_process(COMMAND chmod -R u=rwX,go=rX . WORKING_DIRECTORY ${dir}
                  COMMAND_ERROR_IS_FATAL ANY)
  execute_process(COMMAND find . -exec touch -h -d @${epoch} {} + WORKING_DIRECTORY ${dir}
                  COMMAND_ERROR_IS_FATAL ANY)
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
    find_program(GREET_ZIP zip REQUIRED)
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

foreach(package IN LISTS CPACK_PACKAGE_FILES)
  set(scratch ${package}.rewrite)
  if(package MATCHES "\\.(tar\\.gz|zip)$")
    unpack(${package} ${scratch} members)
    pack(${package} ${scratch} "${members}")
  elseif(package MATCHES "\\.deb$")
    file(REMOVE_RECURSE ${scratch})
    file(MAKE_DIRECTORY ${scratch})
    execute_process(COMMAND ${CPACK_GREET_AR} t ${package} OUTPUT_VARIABLE ar_members
                    COMMAND_ERROR_IS_FATAL ANY)
    string(REGEX REPLACE "\n$" "" ar_members "${ar_members}")
    string(REPLACE "\n" ";" ar_members "${ar_members}")
    if(NOT ar_members MATCHES "^debian-binary;control\\.tar\\.gz;data\\.tar\\.gz$")
      message(FATAL_ERROR "${package}: members ${ar_members}; only gzip is rewritten")
    endif()
    execute_process(COMMAND ${CPACK_GREET_AR} x ${package} WORKING_DIRECTORY ${scratch}
                    COMMAND_ERROR_IS_FATAL ANY)

    unpack(${scratch}/data.tar.gz ${scratch}/data members)
    set(kib 0)
    foreach(member IN LISTS members)
      set(path ${scratch}/data/${member})
      if(IS_DIRECTORY ${path} OR IS_SYMLINK ${path})
        math(EXPR kib "${kib} + 1")
      else()
        file(SIZE ${path} size)
        math(EXPR kib "${kib} + (${size} + 1023) / 1024")
      endif()
    endforeach()
    pack(${scratch}/data.tar.gz ${scratch}/data "${members}")

    unpack(${scratch}/control.tar.gz ${scratch}/control members)
    file(READ ${scratch}/control/control control)
    string(REGEX REPLACE "\nInstalled-Size: [0-9]+\n" "\nInstalled-Size: ${kib}\n" control
                         "${control}")
    file(WRITE ${scratch}/control/control "${control}")
    execute_process(COMMAND touch -d @${epoch} control WORKING_DIRECTORY ${scratch}/control
                    COMMAND_ERROR_IS_FATAL ANY)
    pack(${scratch}/control.tar.gz ${scratch}/control "${members}")

    file(REMOVE ${package})
    execute_process(COMMAND ${CPACK_GREET_AR} rcDS ${package} ${ar_members}
                    WORKING_DIRECTORY ${scratch} COMMAND_ERROR_IS_FATAL ANY)
  else()
    continue()
  endif()
  file(REMOVE_RECURSE ${scratch})
endforeach()
