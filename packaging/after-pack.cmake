# SPDX-License-Identifier: MIT
#
# Run by cpack (CPACK_POST_BUILD_SCRIPTS) after each generator made its
# packages, CPACK_PACKAGE_FILES, and before cpack copies them out and writes
# their checksums. Each package is packed again and signed by repack.cmake,
# in a cmake of its own, so that whatever fails there (a tool, a key, a full
# disk) the run stops here: the package, whole or partial, is removed before
# cpack copies it out, and so is every archive of the build of the same kind
# (binary or source), with its checksum and signature: those this run made
# with its generators before, and those of the generators it would have
# reached. cpack then fails, reporting nothing of it as made. So a failed
# run leaves no part of a release, whatever its generators and their order.

# The archives that this run of cpack has made, kept across its generators
# in a global property, these among them, and those it makes by default.
set(names "")
foreach(package IN LISTS CPACK_PACKAGE_FILES)
  get_filename_component(name ${package} NAME)
  list(APPEND names ${name})
endforeach()
set_property(GLOBAL APPEND PROPERTY GREET_RUN_ARCHIVES ${names})
get_property(made GLOBAL PROPERTY GREET_RUN_ARCHIVES)
if(CPACK_PACKAGE_FILE_NAME STREQUAL CPACK_SOURCE_PACKAGE_FILE_NAME)
  list(APPEND made ${CPACK_GREET_SOURCE_ARCHIVE})
else()
  list(APPEND made ${CPACK_GREET_ARCHIVES})
endif()
list(REMOVE_DUPLICATES made)

foreach(package IN LISTS CPACK_PACKAGE_FILES)
  get_filename_component(name ${package} NAME)
  set(signature "")
  if(NOT "$ENV{GREET_SIGNING_KEY}" STREQUAL "")
    set(signature ${CPACK_PACKAGE_DIRECTORY}/${name}.asc)
  endif()
  execute_process(
    COMMAND ${CMAKE_COMMAND} -D GREET_ARCHIVE=${package} -D GREET_AR=${CPACK_GREET_AR}
            -D GREET_EPOCH=$ENV{SOURCE_DATE_EPOCH} -D GREET_SIGNATURE=${signature}
            -P ${CMAKE_CURRENT_LIST_DIR}/repack.cmake
    RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    foreach(each IN LISTS CPACK_PACKAGE_FILES)
      file(REMOVE_RECURSE ${each} ${each}.repack)
    endforeach()
    foreach(archive IN LISTS made)
      set(path ${CPACK_PACKAGE_DIRECTORY}/${archive})
      file(REMOVE ${path} ${path}.sha256 ${path}.asc)
    endforeach()
    list(JOIN made ", " names)
    message(FATAL_ERROR "Packaging failed for the reason above, so none of ${names} is left.")
  endif()
endforeach()
