# SPDX-FileCopyrightText: 2026 The greet authors
# SPDX-License-Identifier: MIT
# Cross-builds greet.exe for 64-bit Windows with Debian's mingw-w64 toolchain
# (package g++-mingw-w64-x86-64), which links against msvcrt.dll. Tests run
# the executable under Wine (packages wine and wine64).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

# Debian installs the compiler in two variants, whose idents greet.exe
# carries: the alternative x86_64-w64-mingw32-g++ picks one, this names it.
# win32 threads need no winpthread, which greet would not use.
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-win32)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

# Debian 12 and 13 install the 64-bit loader outside PATH; later releases
# put wine64 on PATH.
find_program(WINE64 NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
find_program(WINE64 NAMES wine64 wine)
if(WINE64)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${WINE64})
endif()
