#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The greet authors
# SPDX-License-Identifier: MIT
# The format, lint and licence checks, with the settings in .clang-format
# and .clang-tidy: clang-format, clang-tidy (on BUILD_DIR's compile
# commands), cppcheck, shellcheck on every script git tracks, reuse, and mandoc
# on the man page as BUILD_DIR configured it.
#
# usage: tests/lint.sh BUILD_DIR
set -euo pipefail
cd "$(dirname "$0")/.."
sources=(src/*.cpp)
clang-format --dry-run -Werror "${sources[@]}"
# clang-tidy counts the warnings it found in system headers and did not show.
clang-tidy --quiet -p "$1" "${sources[@]}" 2>&1 | { grep -v -E '^[0-9]+ warnings? generated\.$' || true; }
cppcheck --enable=warning,style,performance,portability --error-exitcode=1 --inline-suppr \
    --std=c++17 --language=c++ --quiet "${sources[@]}"
mapfile -t scripts < <(git ls-files | while read -r file; do
    case $file in
    *.sh) echo "$file" ;;
    *) head -n 1 "$file" | grep -qE '^#!.*\b(ba|da)?sh\b' && echo "$file" ;;
    esac
done)
[ ${#scripts[@]} -gt 0 ] || { echo "no scripts found to check" >&2; exit 1; }
shellcheck -x "${scripts[@]}"
reuse lint
mandoc -T lint -W warning "$1/greet.1"
echo "format and lint: clean (${#sources[@]} sources, ${#scripts[@]} scripts)"
