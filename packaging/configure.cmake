# SPDX-FileCopyrightText: 2026 The greet authors
# SPDX-License-Identifier: MIT
#
# Configure time, included by CMakeLists.txt: the release's facts, taken
# from NEWS.md and LICENSE; what greet installs; what cpack is to make.
# HACKING.md walks a release and states its rules.

set(CPACK_PACKAGE_CONTACT "greet maintainers <maintainers@users.noreply.c-seed-45fc0ef8.example>")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/NEWS.md
                                                                ${PROJECT_SOURCE_DIR}/LICENSE)

# The newest release in NEWS.md is this one: its date is the release date,
# and its items are the Debian change log's one entry.
file(READ ${PROJECT_SOURCE_DIR}/NEWS.md news)
if(NOT news MATCHES "\n## ([^ \n]+) \\(([0-9][0-9][0-9][0-9])-([0-9][0-9])-([0-9][0-9])\\)\n+((([^#\n][^\n]*)?\n)*)")
  message(FATAL_ERROR "NEWS.md: no release heading '## VERSION (YYYY-MM-DD)'")
elseif(NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
  message(FATAL_ERROR "NEWS.md's newest release is ${CMAKE_MATCH_1} and CMakeLists.txt's version "
                      "${PROJECT_VERSION}: a release gives both the same version.")
endif()
set(greet_release_date ${CMAKE_MATCH_2}-${CMAKE_MATCH_3}-${CMAKE_MATCH_4})
set(y ${CMAKE_MATCH_2})
set(month ${CMAKE_MATCH_3})
set(day ${CMAKE_MATCH_4})
set(items "\n${CMAKE_MATCH_5}")
# Midnight UTC of that day in seconds, the date rule's (HACKING.md): the
# days since 1970, counted from 1 March so that a leap day ends its year.
math(EXPR m "${month} + 9")
if(month GREATER 2)
  math(EXPR m "${month} - 3")
else()
  math(EXPR y "${y} - 1")
endif()
math(EXPR yoe "${y} % 400")
math(EXPR days "${y} / 400 * 146097 + ${yoe} * 365 + ${yoe} / 4 - ${yoe} / 100 + (153 * ${m} + 2) / 5 + ${day} - 1 - 719468")
math(EXPR greet_release_epoch "${days} * 86400")
# string(TIMESTAMP) formats SOURCE_DATE_EPOCH, in English whatever the locale.
set(user_date "$ENV{SOURCE_DATE_EPOCH}")
set(ENV{SOURCE_DATE_EPOCH} ${greet_release_epoch})
string(TIMESTAMP date "%a, %d %b %Y %H:%M:%S +0000" UTC)
set(ENV{SOURCE_DATE_EPOCH} "${user_date}")
string(REGEX REPLACE "\n+$" "" items "${items}")
string(REPLACE "\n  " "\n    " items "${items}")
string(REPLACE "\n- " "\n  * " items "${items}")
# Written only when they change, so that what is made of them is not made
# again; each text is substituted once, as a whole.
set(text "${PROJECT_NAME} (${PROJECT_VERSION}) unstable; urgency=medium\n${items}\n
 -- ${CPACK_PACKAGE_CONTACT}  ${date}\n")
file(CONFIGURE OUTPUT changelog CONTENT "@text@" @ONLY)

# The copyright line, then the licence's text, indented as Debian's format
# has it, an empty line marked by a full stop.
file(READ ${PROJECT_SOURCE_DIR}/LICENSE licence)
if(NOT licence MATCHES "\nCopyright \\(c\\) ([^\n]+)\n+(.+[^\n])\n*$")
  message(FATAL_ERROR "LICENSE: no line 'Copyright (c) YEAR HOLDERS' before the licence text")
endif()
set(greet_copyright "Copyright (c) ${CMAKE_MATCH_1}")
string(REPLACE "\n\n" "\n.\n" licence "${CMAKE_MATCH_2}")
string(REPLACE "\n" "\n " licence "${licence}")
set(text "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: ${PROJECT_NAME}
Upstream-Contact: ${CPACK_PACKAGE_CONTACT}

Files: *
Copyright: ${CMAKE_MATCH_1}
License: Expat
 ${licence}
")
file(CONFIGURE OUTPUT copyright CONTENT "@text@" @ONLY)

# Installed directories are 0755 under any umask: mkdir(2) applies the umask
# to the modes CMake asks for, so the first rule notes which are missing and
# the last sets the modes of those the installed component made.
if(WIN32)
  set(dirs ${CMAKE_INSTALL_BINDIR} .)
else()
  set(dirs ${CMAKE_INSTALL_BINDIR} ${CMAKE_INSTALL_MANDIR}/man1 ${CMAKE_INSTALL_DOCDIR})
endif()
string(CONFIGURE [[
  set(greet_new_dirs "")
  foreach(dir IN ITEMS @dirs@)
    get_filename_component(dir "${dir}" ABSOLUTE BASE_DIR "${CMAKE_INSTALL_PREFIX}")
    set(dir "$ENV{DESTDIR}${dir}")
    while(NOT EXISTS "${dir}" AND NOT dir STREQUAL "")
      list(APPEND greet_new_dirs "${dir}")
      get_filename_component(dir "${dir}" DIRECTORY)
    endwhile()
  endforeach()]] code @ONLY)
install(CODE "${code}" ALL_COMPONENTS)

# Each archive names the system and machine it is for, so that a release's
# archives can sit side by side; the .deb keeps Debian's own name.
string(TOLOWER "${CMAKE_SYSTEM_NAME}-${CMAKE_SYSTEM_PROCESSOR}" greet_platform)
set(CPACK_PACKAGE_FILE_NAME ${PROJECT_NAME}-${PROJECT_VERSION}-${greet_platform})
install(TARGETS greet RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT program)
if(WIN32)
  set(CPACK_GREET_ARCHIVES ${CPACK_PACKAGE_FILE_NAME}.zip)
  install(FILES README.md DESTINATION . COMPONENT program)
  install(FILES NEWS.md DESTINATION . COMPONENT notes)
  install(FILES LICENSE DESTINATION . RENAME LICENSE.txt COMPONENT notes)
  # greet.exe carries mingw-w64's start-up code and import stubs, whose
  # licence asks that its notices go with the binary.
  install(FILES ${CMAKE_CURRENT_LIST_DIR}/mingw-w64-runtime.txt DESTINATION .
          RENAME COPYING.MinGW-w64-runtime.txt COMPONENT notes)
else()
  set(CPACK_GREET_ARCHIVES ${CPACK_PACKAGE_FILE_NAME}.tar.gz)
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

set(CPACK_SOURCE_PACKAGE_FILE_NAME ${PROJECT_NAME}-${PROJECT_VERSION})
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_CHECKSUM SHA256)
set(CPACK_COMPONENTS_ALL program notes)
# GNU tar packs the .tar.gz and the source archive. macOS and FreeBSD ship
# libarchive's bsdtar as tar, and dpkg-deb runs tar with GNU's options.
find_program(GREET_TAR NAMES gtar tar)
execute_process(COMMAND ${GREET_TAR} --version OUTPUT_VARIABLE tar_version ERROR_QUIET)
if(NOT tar_version MATCHES "GNU tar")
  message(WARNING "Packaging needs GNU tar, as gtar or tar; '${GREET_TAR}' is not GNU tar "
                  "(FreeBSD: pkg install gtar; macOS: brew install gnu-tar)")
  set(GREET_TAR "")
endif()

# The .deb, where dpkg knows the target's C library, which dpkg-shlibdeps
# names as the package's dependency: natively it does; a cross build needs
# Debian's multiarch package of it.
find_program(DPKG_ARCHITECTURE dpkg-architecture)
set(CPACK_GREET_DEB_ARCH "")
if(CMAKE_SYSTEM_NAME STREQUAL "Linux" AND DPKG_ARCHITECTURE)
  execute_process(COMMAND ${DPKG_ARCHITECTURE} -qDEB_HOST_ARCH -t ${CMAKE_LIBRARY_ARCHITECTURE}
                  OUTPUT_VARIABLE arch OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  execute_process(COMMAND dpkg-query -W libc6:${arch} RESULT_VARIABLE libc_unknown OUTPUT_QUIET
                  ERROR_QUIET)
  if(libc_unknown)
    message(WARNING "No .deb: dpkg does not know libc6:${arch} (dpkg --add-architecture ${arch}, "
                    "then apt-get install libc6:${arch})")
  else()
    set(CPACK_GREET_DEB_ARCH ${arch})
  endif()
elseif(CMAKE_SYSTEM_NAME STREQUAL "Linux")
  message(STATUS "No .deb: dpkg-architecture (package dpkg-dev) is not installed")
endif()
if(CPACK_GREET_DEB_ARCH)
  list(APPEND CPACK_GREET_ARCHIVES ${PROJECT_NAME}_${PROJECT_VERSION}_${CPACK_GREET_DEB_ARCH}.deb)
  list(APPEND CPACK_COMPONENTS_ALL debian)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/control.in debian/control @ONLY)
endif()

# cpack reads cpack-settings.cmake, stages, and runs pack-script.cmake
# through its External generator, which copies out the archives the script
# names and writes their checksums.
set(CPACK_GENERATOR External)
set(CPACK_SOURCE_GENERATOR External)
set(CPACK_EXTERNAL_ENABLE_STAGING ON)
set(CPACK_EXTERNAL_PACKAGE_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/pack-script.cmake)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/cpack-settings.cmake)
set(CPACK_SOURCE_INSTALLED_DIRECTORIES "")
set(CPACK_GREET_SOURCE_DIR ${PROJECT_SOURCE_DIR})
set(CPACK_GREET_BINARY_DIR ${PROJECT_BINARY_DIR})
set(CPACK_GREET_SOURCE_ARCHIVE ${CPACK_SOURCE_PACKAGE_FILE_NAME}.tar.gz)
set(CPACK_GREET_RELEASE_EPOCH ${greet_release_epoch})
set(CPACK_GREET_TAR ${GREET_TAR})
