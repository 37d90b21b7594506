#!/bin/sh
# SPDX-FileCopyrightText: 2026 The greet authors
# SPDX-License-Identifier: MIT
#
# cmake --install under umask 077, with DESTDIR, of everything and of the
# program component: exactly the files a user is promised, in directories
# of mode 0755.
#
# usage: install.sh CMAKE BUILD_DIR CONFIG windows|elf
set -u
# shellcheck source=tests/common.sh
. "$(dirname "$0")/common.sh"
cmake=$1 build=$2 config=$3
tmp=$(mktemp -d) || exit 1
on_exit

doc=usr/share/doc/greet
case $4 in
windows)
    set -- all "usr/COPYING.MinGW-w64-runtime.txt usr/LICENSE.txt usr/NEWS.md usr/README.md usr/bin/greet.exe" \
        program "usr/README.md usr/bin/greet.exe"
    ;;
*)
    set -- all "usr/bin/greet $doc/LICENSE $doc/NEWS.md $doc/README.md usr/share/man/man1/greet.1.gz" \
        program "usr/bin/greet $doc/README.md usr/share/man/man1/greet.1.gz"
    ;;
esac
while [ $# -gt 0 ]; do
    component=$1 expected=$2 dest=$tmp/$1
    shift 2
    [ "$component" = all ] && only='' || only=$component
    if ! (umask 077 && DESTDIR=$dest "$cmake" --install "$build" --prefix /usr ${config:+--config "$config"} \
        ${only:+--component "$only"}) >"$tmp/log" 2>&1; then
        fail "install of $component failed: $(cat "$tmp/log")"
    fi
    files=$(cd "$dest" && find . ! -type d | sed 's|^\./||' | sort | tr '\n' ' ')
    [ "$files" = "$expected " ] || fail "install of $component gave: $files"
    odd=$(find "$dest" -type d ! -perm 755)
    [ -z "$odd" ] || fail "install of $component: directories not of mode 0755: $odd"
done

passed
