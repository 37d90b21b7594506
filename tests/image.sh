#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The greet authors
# SPDX-License-Identifier: MIT
#
# Reads the built executable's headers, how it links and is hardened and
# what it carries besides its code, and what greet's own code calls, in its
# object files: its stdio calls and nothing else, which is the promise never
# to read the environment, files or a locale, nor to handle signals, in
# every build, static ones included, whose images import nothing.
#
# usage: image.sh elf-image READELF NM static|dynamic GREET OBJECT...
#        image.sh pe-image OBJDUMP NM WINDRES VERSION GREET.EXE OBJECT...
set -u
# shellcheck source=tests/common.sh
. "$(dirname "$0")/common.sh"
# The tools' messages are matched as they read untranslated.
export LC_ALL=C
case=$1

# calls NM OBJECT...: the names the objects take from elsewhere.
calls() {
    "$1" -u "${@:2}" | awk 'NF == 2 { print $2 }' | sort -u | tr '\n' ' '
}

case $case in
elf-image)
    readelf=$2 linking=$4 exe=$5
    dynamic=$("$readelf" -dW "$exe") || exit 1
    segments=$("$readelf" -lW "$exe") || exit 1
    needed=$(printf '%s\n' "$dynamic" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | tr '\n' ' ')
    got="$(printf '%s\n' "$segments" | grep -c '^ *INTERP ') $needed"
    [ "$got" = "$([ "$linking" = static ] && echo "0 " || echo "1 libc.so.6 ")" ] ||
        fail "a $linking greet has (interpreters, then libraries) $got"
    [ "$(calls "$3" "${@:6}")" = "fclose ferror fflush perror puts stdout " ] ||
        fail "greet's code calls other than its stdio: $(calls "$3" "${@:6}")"
    ! "$readelf" -SW "$exe" | grep -q ' \.comment ' || fail "carries the compilers' versions in .comment"
    expect "not a position-independent executable" '\(FLAGS_1\).*PIE' "$dynamic"
    expect "symbols are not bound at start-up (BIND_NOW)" '\(FLAGS\).*BIND_NOW|\(FLAGS_1\).* NOW' "$dynamic"
    expect "no GNU_RELRO segment" '^ *GNU_RELRO ' "$segments"
    expect "no non-executable GNU_STACK segment" '^ *GNU_STACK( +0x[0-9a-f]+){5} +RW ' "$segments"
    ;;
pe-image)
    objdump=$2 windres=$4 version=$5 exe=$6
    headers=$(TZ=UTC0 "$objdump" -p "$exe") || exit 1
    expect "not a console program" '^Subsystem[[:space:]]+00000003[[:space:]]+\(Windows CUI\)' "$headers"
    expect "DllCharacteristics are not HIGH_ENTROPY_VA, DYNAMIC_BASE, NX_COMPAT" '^DllCharacteristics[[:space:]]+00000160$' "$headers"
    # A timestamp of zero prints as the epoch (in UTC, hence TZ above).
    expect "the link time is recorded" '^Time/Date[[:space:]]+Thu Jan  1 00:00:00 1970' "$headers"
    expect "carries a symbol table" '^[[:space:]]+symbols stripped$' "$headers"
    dlls=$(printf '%s\n' "$headers" | sed -n 's/^[[:space:]]*DLL Name: //p' | sort | tr '\n' ' ')
    [ "$dlls" = "KERNEL32.dll msvcrt.dll " ] || fail "imports other than KERNEL32.dll and msvcrt.dll: $dlls"
    # stdout is msvcrt's __acrt_iob_func, and GCC's main calls __main, which
    # runs the static constructors.
    [ "$(calls "$3" "${@:7}")" = "__imp___acrt_iob_func __main fclose ferror fflush perror puts " ] ||
        fail "greet's code calls other than its stdio: $(calls "$3" "${@:7}")"
    # What Windows reads of the resources, as the build's resource compiler
    # reads them back: the version's numbers and strings, looked up by the
    # translation, US English in UTF-16 (0x409, 1200); the manifest only as
    # type 24 (RT_MANIFEST), ID 1, its elements by their namespaces: run as
    # the invoking user, without uiAccess, written for Windows 10 and 11
    # (one ID names both), and no code page set.
    make_tmp
    "$windres" -i "$exe" -O rc | sed 's/^ *//' >"$tmp/rc" || exit 1
    grep -v -x -F -f "$tmp/rc" <<EOF >"$tmp/missing"
FILEVERSION ${version//./, }, 0
PRODUCTVERSION ${version//./, }, 0
BLOCK "040904B0"
VALUE "FileVersion", "$version"
VALUE "ProductVersion", "$version"
VALUE "LegalCopyright", "Copyright (c) 2026 The greet authors"
VALUE "Translation", 0x409, 1200
1 24 /* RT_MANIFEST */
"  <trustInfo xmlns=""urn:schemas-microsoft-com:asm.v3"">\n"
"        <requestedExecutionLevel level=""asInvoker"" uiAccess=""false""/>\n"
"  <compatibility xmlns=""urn:schemas-microsoft-com:compatibility.v1"">\n"
"      <supportedOS Id=""{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}""/>\n"
EOF
    [ ! -s "$tmp/missing" ] || fail "the resources lack:" "$(cat "$tmp/missing")"
    ! grep -q activeCodePage "$tmp/rc" || fail "the manifest sets a code page"
    ;;
*)
    echo "usage: image.sh elf-image|pe-image ..." >&2
    exit 2
    ;;
esac

passed
