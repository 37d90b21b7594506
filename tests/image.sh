#!/bin/sh
# SPDX-License-Identifier: MIT
# Reads the built executable's headers: what it links, how it is hardened,
# what it carries besides its code, and whether the same sources always give
# the same bytes, in the executable and in the release archives.
#
# usage: image.sh elf READELF GREET MACHINE
#        image.sh pe OBJDUMP STRINGS GREET.EXE VERSION
#        image.sh reproducible GREET CONFIG SOURCE_DIR BUILD_DIR CMAKE [CONFIGURE_ARG...]
#        image.sh archives CPACK CONFIG SOURCE_DIR BUILD_DIR CMAKE [CONFIGURE_ARG...]
# CONFIG is the configuration under test, empty for a build without one.
set -u
# The tools' messages are matched as they read untranslated.
LC_ALL=C
export LC_ALL
case=$1
shift
failures=0

fail() {
    printf 'FAIL: %s\n' "$*"
    failures=$((failures + 1))
}

# expect LABEL PATTERN TEXT: TEXT has a line matching the extended regex.
expect() {
    printf '%s\n' "$3" | grep -q -E -- "$2" || fail "$1 (no line matches '$2')"
}

# build_copy DIR CONFIG SOURCE_DIR BUILD_DIR CMAKE [CONFIGURE_ARG...]: copies
# the source tree into DIR/src, then configures it and builds CONFIG in
# DIR/build.
# From a git checkout that is what git has or would add, and its history;
# otherwise everything but the folder that holds the build. build_copy_date,
# when set, dates every copied file (touch -t).
build_copy() {
    dir=$1 config=$2 from=$3 build=$4 cmake=$5
    shift 5
    if [ "$from" = "$build" ]; then
        echo "SKIP: an in-source build cannot be copied apart from its sources"
        exit 77
    fi
    mkdir -p "$dir/src" || return 1
    if [ "$(git -C "$from" rev-parse --show-toplevel 2>/dev/null)" = "$(cd "$from" && pwd -P)" ]; then
        (cd "$from" && { git ls-files -z -co --exclude-standard && printf '.git\0'; } |
            tar --null --ignore-failed-read -T - -cf -) | tar -xf - -C "$dir/src" || return 1
    else
        for entry in "$from"/* "$from"/.[!.]*; do
            [ -e "$entry" ] || continue
            case $build/ in "$entry"/*) continue ;; esac
            cp -R "$entry" "$dir/src/" || return 1
        done
    fi
    # Sources unpacked read-only would stay so in the copy, and not go away.
    chmod -R u+w "$dir/src" || return 1
    if [ -n "${build_copy_date:-}" ]; then
        find "$dir/src" -exec touch -h -t "$build_copy_date" {} + || return 1
    fi
    if ! { "$cmake" -S "$dir/src" -B "$dir/build" -DBUILD_TESTING=OFF "$@" &&
        "$cmake" --build "$dir/build" ${config:+--config "$config"}; } >"$dir/log" 2>&1; then
        cat "$dir/log"
        return 1
    fi
}

case $case in
elf)
    readelf=$1 exe=$2 machine=$3
    expect "not built for $machine" "^ *Machine: +(.* )?$machine\$" "$("$readelf" -h "$exe")"
    dynamic=$("$readelf" -dW "$exe") || exit 1
    segments=$("$readelf" -lW "$exe") || exit 1
    needed=$(printf '%s\n' "$dynamic" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | tr '\n' ' ')
    [ "$needed" = "libc.so.6 " ] || fail "links more than the C library: $needed"
    expect "not a position-independent executable" '\(FLAGS_1\).*PIE' "$dynamic"
    expect "symbols are not bound at start-up (BIND_NOW)" '\(FLAGS\).*BIND_NOW|\(FLAGS_1\).* NOW' "$dynamic"
    expect "no GNU_RELRO segment" '^ *GNU_RELRO ' "$segments"
    expect "no non-executable GNU_STACK segment" '^ *GNU_STACK( +0x[0-9a-f]+){5} +RW ' "$segments"
    ;;
pe)
    objdump=$1 strings=$2 exe=$3 version=$4
    headers=$(TZ=UTC0 "$objdump" -p "$exe") || exit 1
    expect "not a PE32+ image" '^Magic[[:space:]]+020b' "$headers"
    expect "not built for x86-64" 'file format pei-x86-64' "$headers"
    expect "not a console program" '^Subsystem[[:space:]]+00000003[[:space:]]+\(Windows CUI\)' "$headers"
    for flag in DYNAMIC_BASE NX_COMPAT HIGH_ENTROPY_VA; do
        expect "DllCharacteristics lacks $flag" "^[[:space:]]+$flag\$" "$headers"
    done
    # A timestamp of zero prints as the epoch (in UTC, hence TZ above).
    expect "the link time is recorded" '^Time/Date[[:space:]]+Thu Jan  1 00:00:00 1970' "$headers"
    dlls=$(printf '%s\n' "$headers" | sed -n 's/^[[:space:]]*DLL Name: //p' | sort | tr '\n' ' ')
    [ "$dlls" = "KERNEL32.dll msvcrt.dll " ] || fail "imports other than KERNEL32.dll and msvcrt.dll: $dlls"
    # Resource types are the entries of the first level: 16 is the version,
    # 24 the manifest.
    expect "no version resource" '^[0-9a-f]+   Entry: ID: 0x000010,' "$headers"
    expect "no manifest resource" '^[0-9a-f]+   Entry: ID: 0x000018,' "$headers"
    product=$("$strings" -el "$exe" | sed -n '/^ProductVersion$/{n;p;q;}')
    [ "$product" = "$version" ] || fail "ProductVersion is '$product', expected $version"
    manifest=$("$strings" -a "$exe")
    expect "the manifest does not ask to run as invoker" 'requestedExecutionLevel level="asInvoker"' "$manifest"
    if printf '%s\n' "$manifest" | grep -q activeCodePage; then
        fail "the manifest sets a code page"
    fi
    ;;
reproducible)
    exe=$1
    shift
    tmp=$(mktemp -d) || exit 1
    trap 'rm -rf "$tmp"' EXIT
    build_copy "$tmp/a" "$@" || exit 1
    cmp "$exe" "$tmp/a/build/${exe#"$3"/}" || fail "a second clean build gave different bytes"
    ;;
archives)
    cpack=$1
    shift
    generators=";$(sed -n 's/^set(CPACK_GENERATOR "\(.*\)")$/\1/p' "$3/CPackConfig.cmake");"
    # needs GENERATOR TOOL PACKAGE: skips when this build makes such an
    # archive and the tool is missing.
    needs() {
        case $generators in *";$1;"*) ;; *) return ;; esac
        command -v "$2" >/dev/null 2>&1 && return
        echo "SKIP: the $1 archive needs $2 (package $3)"
        exit 77
    }
    needs DEB dpkg-shlibdeps dpkg-dev
    needs ZIP zip zip
    tmp=$(mktemp -d) || exit 1
    trap 'rm -rf "$tmp"' EXIT
    unset SOURCE_DATE_EPOCH
    # package DIR CONFIG SOURCE_DIR BUILD_DIR CMAKE [CONFIGURE_ARG...]:
    # builds a copy of the sources in DIR and packages it.
    package() {
        build_copy "$@" || exit 1
        (cd "$1/build" && "$cpack" ${2:+-C "$2"} >>"$1/log" 2>&1) || {
            cat "$1/log"
            exit 1
        }
    }
    (umask 022 && TZ=UTC0 LC_ALL=C package "$tmp/a" "$@") || exit 1
    # The other in a longer path, its files dated years back, under a
    # restrictive umask, another time zone and locale.
    (umask 077 && TZ=KST-9 LC_ALL=C.UTF-8 &&
        export TZ LC_ALL && build_copy_date=200101010000 package "$tmp/other/b" "$@") || exit 1
    compared=0
    for made in "$tmp"/a/build/*.tar.gz "$tmp"/a/build/*.deb "$tmp"/a/build/*.zip; do
        [ -e "$made" ] || continue
        compared=$((compared + 1))
        cmp "$made" "$tmp/other/b/build/${made##*/}" || fail "${made##*/} differs between two packagings"
    done
    [ "$compared" -gt 0 ] || fail "cpack made no archive"
    ;;
*)
    echo "usage: image.sh elf|pe|reproducible|archives ..." >&2
    exit 2
    ;;
esac

[ "$failures" -eq 0 ]
