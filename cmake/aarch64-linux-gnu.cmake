# SPDX-FileCopyrightText: 2026 The greet authors
# SPDX-License-Identifier: MIT
# Cross-builds greet for Linux on 64-bit Arm (Debian's arm64) with Debian's
# cross toolchain, tested under qemu.
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(triple aarch64-linux-gnu)
set(qemu aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
