# SPDX-FileCopyrightText: 2026 The greet authors
# SPDX-License-Identifier: MIT
# What the toolchain files for Linux share: Debian's cross toolchain for
# `triple` (package g++-TRIPLE), whose C library lies under /usr/TRIPLE, and
# qemu's user mode emulator for `qemu` (package qemu-user), which runs the
# tests there.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_CXX_COMPILER ${triple}-g++)

set(CMAKE_FIND_ROOT_PATH /usr/${triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

find_program(QEMU_${qemu} NAMES qemu-${qemu} qemu-${qemu}-static)
if(QEMU_${qemu})
  set(CMAKE_CROSSCOMPILING_EMULATOR ${QEMU_${qemu}} -L /usr/${triple})
endif()
