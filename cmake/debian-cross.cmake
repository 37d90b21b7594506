# SPDX-FileCopyrightText: 2026 The greet authors
# SPDX-License-Identifier: MIT
# What the toolchain files for Linux share: Debian's cross toolchain for
# `triple` (package g++-TRIPLE), whose C library lies under /usr/TRIPLE, and
# qemu's user mode emulator for `qemu` (package qemu-user), which runs the
# tests there.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_CXX_COMPILER ${triple}-g++)

find_program(QEMU_${qemu} NAMES qemu-${qemu} qemu-${qemu}-static)
if(QEMU_${qemu})
  set(CMAKE_CROSSCOMPILING_EMULATOR ${QEMU_${qemu}} -L /usr/${triple})
endif()
