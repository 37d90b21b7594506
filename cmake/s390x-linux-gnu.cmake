# SPDX-FileCopyrightText: 2026 The greet authors
# SPDX-License-Identifier: MIT
# Cross-builds greet for Linux on IBM Z (Debian's s390x), a big-endian
# machine, with Debian's cross toolchain, tested under qemu.
set(CMAKE_SYSTEM_PROCESSOR s390x)
set(triple s390x-linux-gnu)
set(qemu s390x)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
