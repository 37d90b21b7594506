# SPDX-License-Identifier: MIT
#
# Run by cpack after it made each package. cpack gives the members of a .deb
# (debian-binary, control and data) the modes that the umask left on its
# scratch files. Rewritten by a deterministic ar, every member has mode 0644,
# owner 0 and time 0, so the package has the same bytes under any umask.
foreach(package IN LISTS CPACK_PACKAGE_FILES)
  if(NOT package MATCHES "\\.deb$")
    continue()
  endif()
  set(scratch ${package}.members)
  file(REMOVE_RECURSE ${scratch})
  file(MAKE_DIRECTORY ${scratch})
  execute_process(COMMAND ${CPACK_GREET_AR} t ${package} OUTPUT_VARIABLE members
                  COMMAND_ERROR_IS_FATAL ANY)
  string(REPLACE "\n" ";" members "${members}")
  list(REMOVE_ITEM members "")
  execute_process(COMMAND ${CPACK_GREET_AR} x ${package} WORKING_DIRECTORY ${scratch}
                  COMMAND_ERROR_IS_FATAL ANY)
  file(REMOVE ${package})
  execute_process(COMMAND ${CPACK_GREET_AR} rcDS ${package} ${members}
                  WORKING_DIRECTORY ${scratch} COMMAND_ERROR_IS_FATAL ANY)
  file(REMOVE_RECURSE ${scratch})
endforeach()
