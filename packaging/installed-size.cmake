# SPDX-License-Identifier: MIT
#
# set_installed_size CONTROL DATA_DIR MEMBERS: sets the Installed-Size field
# of the Debian control file CONTROL to what dpkg-gencontrol counts for the
# package's files, the MEMBERS of DATA_DIR: each file's size rounded up to
# KiB, plus 1 KiB for each directory or link. CPack 3.25 instead adds the
# space that directories take on the filesystem it builds on, which varies
# from one machine to another. Included by repack.cmake; it goes when CPack
# counts as dpkg does.
function(set_installed_size control data_dir members)
  set(kib 0)
  foreach(member IN LISTS members)
    set(path ${data_dir}/${member})
    if(IS_DIRECTORY ${path} OR IS_SYMLINK ${path})
      math(EXPR kib "${kib} + 1")
    else()
      file(SIZE ${path} size)
      math(EXPR kib "${kib} + (${size} + 1023) / 1024")
    endif()
  endforeach()
  file(READ ${control} text)
  string(REGEX REPLACE "\nInstalled-Size: [0-9]+\n" "\nInstalled-Size: ${kib}\n" text "${text}")
  file(WRITE ${control} "${text}")
endfunction()
