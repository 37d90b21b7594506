# SPDX-License-Identifier: MIT
#
# What greet installs and how cpack packs it, included by CMakeLists.txt.
# HACKING.md walks a release through the files of this folder.

# release.cmake writes the contact into the Debian copyright file and change
# log, so it is set first.
set(CPACK_PACKAGE_CONTACT "greet maintainers <maintainers@users.noreply.c-seed-45fc0ef8.example>")
include(${CMAKE_CURRENT_LIST_DIR}/release.cmake)

# Installed directories are 0755 under any umask. CMake creates them with
# mkdir(2), which applies the umask to the modes it asks for, so the first
# rule notes which of them are missing and the last one, below the others,
# sets the modes of those that the component installed has made.
if(WIN32)
  set(dirs ${CMAKE_INSTALL_BINDIR} .)
else()
  set(dirs ${CMAKE_INSTALL_BINDIR} ${CMAKE_INSTALL_MANDIR}/man1 ${CMAKE_INSTALL_DOCDIR})
endif()
string(CONFIGURE [[
  set(greet_new_dirs "")
  foreach(dir IN ITEMS @dirs@)
    if(NOT IS_ABSOLUTE "${dir}")
      set(dir "${CMAKE_INSTALL_PREFIX}/${dir}")
    endif()
    set(dir "$ENV{DESTDIR}${dir}")
    while(NOT EXISTS "${dir}" AND NOT dir STREQUAL "")
      list(APPEND greet_new_dirs "${dir}")
      get_filename_component(dir "${dir}" DIRECTORY)
    endwhile()
  endforeach()]] code @ONLY)
install(CODE "${code}" ALL_COMPONENTS)

install(TARGETS greet RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT program)
if(WIN32)
  install(FILES README.md DESTINATION . COMPONENT program)
  install(FILES NEWS.md DESTINATION . COMPONENT notes)
  install(FILES LICENSE DESTINATION . RENAME LICENSE.txt COMPONENT notes)
  # greet.exe carries mingw-w64's start-up code and import stubs, whose
  # licence asks that its notices go with the binary.
  install(FILES ${CMAKE_CURRENT_LIST_DIR}/COPYING.MinGW-w64-runtime.txt DESTINATION .
          COMPONENT notes)
else()
  # gzip -n keeps the name and time out of the header.
  find_program(GZIP gzip REQUIRED)
  configure_file(doc/greet.1.in greet.1 @ONLY)
  add_custom_command(
    OUTPUT greet.1.gz changelog.gz
    COMMAND ${GZIP} -9nkf greet.1 changelog
    DEPENDS ${PROJECT_BINARY_DIR}/greet.1 ${PROJECT_BINARY_DIR}/changelog)
  add_custom_target(compressed-docs ALL DEPENDS greet.1.gz changelog.gz)
  install(FILES ${PROJECT_BINARY_DIR}/greet.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1
          COMPONENT program)
  install(FILES README.md DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT program)
  install(FILES NEWS.md LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT notes)
  install(FILES ${PROJECT_BINARY_DIR}/copyright ${PROJECT_BINARY_DIR}/changelog.gz
          DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT debian EXCLUDE_FROM_ALL)
endif()

install(CODE [[
  foreach(dir IN LISTS greet_new_dirs)
    if(IS_DIRECTORY "${dir}")
      file(CHMOD "${dir}" DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
           GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
    endif()
  endforeach()]] ALL_COMPONENTS)

set(CPACK_PACKAGE_VENDOR "The greet authors")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_CHECKSUM SHA256)

# Each archive names the system and machine it is for, so that a release's
# archives can sit side by side; the .deb keeps Debian's own name. The
# tests name them literally, as README.md does.
string(TOLOWER "${CMAKE_SYSTEM_NAME}" system)
set(greet_machine ${CMAKE_SYSTEM_PROCESSOR})
if(greet_machine MATCHES "^(AMD64|amd64|x64)$")
  set(greet_machine x86_64)
elseif(greet_machine MATCHES "^(ARM64|arm64)$")
  set(greet_machine aarch64)
endif()
set(CPACK_PACKAGE_FILE_NAME ${PROJECT_NAME}-${PROJECT_VERSION}-${system}-${greet_machine})
set(CPACK_SOURCE_PACKAGE_FILE_NAME ${PROJECT_NAME}-${PROJECT_VERSION})
if(WIN32)
  set(CPACK_GREET_ARCHIVES ${CPACK_PACKAGE_FILE_NAME}.zip)
else()
  set(CPACK_GREET_ARCHIVES ${CPACK_PACKAGE_FILE_NAME}.tar.gz)
endif()
set(CPACK_COMPONENTS_ALL program notes)

if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
  # dpkg-shlibdeps names the libc the package depends on, and for that dpkg
  # must know the target's C library: natively it does; on a cross build it
  # needs Debian's multiarch package of it. Elsewhere (Fedora, Arch) there
  # is no dpkg, and no .deb.
  find_program(DPKG_ARCHITECTURE dpkg-architecture)
  set(deb_arch "")
  if(DPKG_ARCHITECTURE AND CMAKE_LIBRARY_ARCHITECTURE)
    execute_process(
      COMMAND ${DPKG_ARCHITECTURE} -qDEB_HOST_ARCH -t ${CMAKE_LIBRARY_ARCHITECTURE}
      OUTPUT_VARIABLE deb_arch
      OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  endif()
  if(deb_arch)
    execute_process(COMMAND dpkg-query -W libc6:${deb_arch} RESULT_VARIABLE libc_known
                    OUTPUT_QUIET ERROR_QUIET)
  endif()
  if(NOT DPKG_ARCHITECTURE)
    message(STATUS "No .deb: dpkg-architecture (package dpkg-dev) is not installed")
  elseif(NOT deb_arch)
    message(WARNING "No .deb: dpkg names no Debian architecture for the compiler's target")
  elseif(NOT libc_known EQUAL 0)
    message(WARNING "No .deb: dpkg does not know libc6:${deb_arch} (dpkg --add-architecture "
                    "${deb_arch}, then apt-get install libc6:${deb_arch})")
  else()
    set(CPACK_GREET_DEB_ARCH ${deb_arch})
    list(APPEND CPACK_GREET_ARCHIVES ${PROJECT_NAME}_${PROJECT_VERSION}_${deb_arch}.deb)
    list(APPEND CPACK_COMPONENTS_ALL debian)
    configure_file(${CMAKE_CURRENT_LIST_DIR}/control.in debian/control @ONLY)
  endif()
endif()

# cpack runs packaging/pack.cmake through its External generator, which
# installs the components into a staging folder and copies out, with their
# checksums, the archives that the script names. HACKING.md walks it.
set(CPACK_GENERATOR External)
set(CPACK_SOURCE_GENERATOR External)
set(CPACK_EXTERNAL_ENABLE_STAGING ON)
set(CPACK_EXTERNAL_PACKAGE_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/pack.cmake)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/cpack.cmake)
set(CPACK_SOURCE_INSTALLED_DIRECTORIES "")
set(CPACK_GREET_SOURCE_DIR ${PROJECT_SOURCE_DIR})
set(CPACK_GREET_BINARY_DIR ${PROJECT_BINARY_DIR})
set(CPACK_GREET_SOURCE_ARCHIVE ${CPACK_SOURCE_PACKAGE_FILE_NAME}.tar.gz)
set(CPACK_GREET_RELEASE_EPOCH ${greet_release_epoch})
