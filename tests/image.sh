#!/bin/sh
# Reads the built executable's headers: what it links, how it is hardened,
# and whether the same sources always give the same bytes.
#
# usage: image.sh elf READELF GREET
#        image.sh pe OBJDUMP GREET.EXE
#        image.sh reproducible GREET SOURCE_DIR CMAKE [CONFIGURE_ARG...]
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

case $case in
elf)
    readelf=$1 exe=$2
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
    objdump=$1 exe=$2
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
    ;;
reproducible)
    # A clean build of a copy of the sources, in another folder, must give
    # the same bytes as the build under test.
    exe=$1 source=$2 cmake=$3
    shift 3
    copy=$(mktemp -d) || exit 1
    trap 'rm -rf "$copy"' EXIT
    cp -R "$source/CMakeLists.txt" "$source/src" "$source/cmake" "$source/doc" "$copy/" || exit 1
    "$cmake" -S "$copy" -B "$copy/build" -DBUILD_TESTING=OFF "$@" >"$copy/log" 2>&1 &&
        "$cmake" --build "$copy/build" --target greet >>"$copy/log" 2>&1 || {
        cat "$copy/log"
        exit 1
    }
    rebuilt=$(find "$copy/build" -maxdepth 1 -type f -name "$(basename "$exe")")
    cmp "$exe" "$rebuilt" || fail "a second clean build gave different bytes"
    ;;
*)
    echo "usage: image.sh elf|pe|reproducible ..." >&2
    exit 2
    ;;
esac

[ "$failures" -eq 0 ]
