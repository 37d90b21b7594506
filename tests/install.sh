#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The greet authors
# SPDX-License-Identifier: MIT
#
# cmake --install under umask 077, with DESTDIR: exactly the files a user
# is promised, in directories of mode 0755. The .deb's part of them, the
# program component, release-check.sh lists.
#
# usage: install.sh CMAKE BUILD_DIR CONFIG windows|elf
set -u
# shellcheck source=tests/common.sh
. "$(dirname "$0")/common.sh"
cmake=$1 build=$2 config=$3
make_tmp

doc=usr/share/doc/greet
expected="usr/bin/greet $doc/LICENSE $doc/NEWS.md $doc/README.md usr/share/man/man1/greet.1.gz"
[ "$4" = elf ] || expected="usr/COPYING.MinGW-w64-runtime.txt usr/LICENSE.txt usr/NEWS.md usr/README.md usr/bin/greet.exe"
(umask 077 && DESTDIR=$tmp/root "$cmake" --install "$build" --prefix /usr --config "$config") >"$tmp/log" 2>&1 ||
    fail "the install failed: $(cat "$tmp/log")"
files=$(cd "$tmp/root" && find . ! -type d | sed 's|^\./||' | sort | tr '\n' ' ')
[ "$files" = "$expected " ] || fail "the install gave: $files"
odd=$(find "$tmp/root/usr" -type d ! -perm 755)
[ -z "$odd" ] || fail "directories not of mode 0755: $odd"

passed
