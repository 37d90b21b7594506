#!/bin/sh
# SPDX-FileCopyrightText: 2026 The greet authors
# SPDX-License-Identifier: MIT
#
# Reads the built executable's headers: what it links
# and imports, how it is hardened, and what it carries besides its code.
# greet's promise never to read the environment, files or a locale shows in
# what it imports: its own stdio calls, and otherwise only what the same
# toolchain's start-up code imports into BASELINE, a program that only
# returns, built with greet's flags. Every list read must be non-empty, so
# that a tool whose output changed fails the check rather than passing it.
#
# usage: image.sh elf READELF GREET BASELINE
#        image.sh pe OBJDUMP GREET.EXE BASELINE.EXE VERSION
set -u
# shellcheck source=tests/common.sh
. "$(dirname "$0")/common.sh"
# The tools' messages are matched as they read untranslated.
export LC_ALL=C
case=$1
shift
own=" puts fflush ferror fclose perror stdout "

# only_allowed IMPORTS BASELINE_IMPORTS: each of greet's imported names (a
# symbol version after @ aside) is one of its own calls or imported by the
# baseline too.
only_allowed() {
    [ -n "$1" ] || fail "no imports read from greet"
    [ -n "$2" ] || fail "no imports read from the baseline program"
    for name in $1; do
        case "$own $2 " in *[[:space:]]"${name%%@*}"[[:space:]]* | *[[:space:]]"${name%%@*}"@*) ;;
        *) fail "imports $name" ;; esac
    done
    case " $1 " in *" puts "* | *" puts@"*) ;; *) fail "puts is not among the imports read: $1" ;; esac
}

# undefined ELF: the dynamic symbols that ELF takes from libraries.
undefined() {
    "$readelf" --dyn-syms -W "$1" | awk '$7 == "UND" && $8 != "" { print $8 }' | tr '\n' ' '
}

# imports PE: the names in PE's import tables. Each row starts with a tab
# and its address, and ends in the name, in binutils 2.40's layout
# ("<tab>82d0<tab>  292  Name") and 2.44's ("<tab>00008188  <none>  0127  Name").
imports() {
    "$objdump" -p "$1" | awk '/^The Import Tables/ { t = 1; next } /^The / { t = 0 }
        t && /^\t[0-9a-f]+[ \t]/ { print $NF }' | tr '\n' ' '
}

case $case in
elf)
    readelf=$1 exe=$2 baseline=$3
    dynamic=$("$readelf" -dW "$exe") || exit 1
    segments=$("$readelf" -lW "$exe") || exit 1
    needed=$(printf '%s\n' "$dynamic" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | tr '\n' ' ')
    # A sanitizer's runtime brings the C++ runtime and more along.
    if ! instrumented "$exe"; then
        [ "$needed" = "libc.so.6 " ] || fail "links more than the C library: $needed"
        only_allowed "$(undefined "$exe")" "$(undefined "$baseline")"
    fi
    ! "$readelf" -SW "$exe" | grep -q ' \.comment ' || fail "carries the compilers' versions in .comment"
    expect "not a position-independent executable" '\(FLAGS_1\).*PIE' "$dynamic"
    expect "symbols are not bound at start-up (BIND_NOW)" '\(FLAGS\).*BIND_NOW|\(FLAGS_1\).* NOW' "$dynamic"
    expect "no GNU_RELRO segment" '^ *GNU_RELRO ' "$segments"
    expect "no non-executable GNU_STACK segment" '^ *GNU_STACK( +0x[0-9a-f]+){5} +RW ' "$segments"
    if instrumented "$exe" && passed; then
        not_here "an instrumented build links its sanitizers' runtimes ($needed); its other headers passed"
    fi
    ;;
pe)
    objdump=$1 exe=$2 baseline=$3 version=$4
    make_tmp
    headers=$(TZ=UTC0 "$objdump" -p "$exe") || exit 1
    expect "not built for x86-64" 'file format pei-x86-64' "$headers"
    expect "not a console program" '^Subsystem[[:space:]]+00000003[[:space:]]+\(Windows CUI\)' "$headers"
    for flag in DYNAMIC_BASE NX_COMPAT HIGH_ENTROPY_VA; do
        expect "DllCharacteristics lacks $flag" "^[[:space:]]+$flag\$" "$headers"
    done
    # A timestamp of zero prints as the epoch (in UTC, hence TZ above).
    expect "the link time is recorded" '^Time/Date[[:space:]]+Thu Jan  1 00:00:00 1970' "$headers"
    dlls=$(printf '%s\n' "$headers" | sed -n 's/^[[:space:]]*DLL Name: //p' | sort | tr '\n' ' ')
    [ "$dlls" = "KERNEL32.dll msvcrt.dll " ] || fail "imports other than KERNEL32.dll and msvcrt.dll: $dlls"
    # A locale set from the environment changes nothing msvcrt writes for
    # greet, so no run shows it, nor does a console's code page or mode that
    # greet.exe set under Wine; the imports do.
    only_allowed "$(imports "$exe")" "$(imports "$baseline")"
    expect "carries a symbol table" '^[[:space:]]+symbols stripped$' "$headers"
    # What Windows reads of the resources: the manifest only as type 24
    # (RT_MANIFEST), ID 1, its elements by their namespaces, and the
    # version's fixed numbers and strings.
    for tool in wrestool:icoutils exiftool:libimage-exiftool-perl xmllint:libxml2-utils; do
        command -v "${tool%:*}" >/dev/null || skip "greet.exe's resources are read by ${tool%:*} (package ${tool#*:})"
    done
    wrestool -x --raw --type=24 --name=1 "$exe" >"$tmp/manifest"
    read_manifest() {
        xmllint --xpath "string(//*[local-name()='$1' and namespace-uri()='urn:schemas-microsoft-com:$2']/@$3)" "$tmp/manifest"
    }
    [ "$(read_manifest requestedExecutionLevel asm.v3 level) $(read_manifest requestedExecutionLevel asm.v3 uiAccess)" = \
        "asInvoker false" ] || fail "the manifest does not ask to run as invoker, without uiAccess"
    # Windows 10 and 11, which share one ID.
    [ "$(read_manifest supportedOS compatibility.v1 Id)" = "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}" ] ||
        fail "the manifest does not name Windows 10 and 11 as supported"
    if grep -q activeCodePage "$tmp/manifest"; then fail "the manifest sets a code page"; fi
    versions=$(exiftool -s -s -s -FileVersionNumber -ProductVersionNumber -FileVersion -ProductVersion \
        -LegalCopyright "$exe" | tr '\n' ' ')
    [ "$versions" = "$version.0 $version.0 $version $version Copyright (c) 2026 The greet authors " ] ||
        fail "FILEVERSION, PRODUCTVERSION, their strings and LegalCopyright are '$versions'"
    # Windows looks the strings up by the translation, US English in
    # UTF-16 (0x409, 1200): the string table's key, 040904B0 in UTF-16, and
    # the value after "Translation", in UTF-16 and padded.
    version_info=$(wrestool -x --raw --type=16 "$exe" | od -An -tx1 -v | tr -d ' \n')
    case $version_info in *30003400300039003000340042003000*5400720061006e0073006c006100740069006f006e00000000000904b004*) ;;
    *) fail "the version's translation is not 0x409, 1200, as its string table's key 040904B0" ;; esac
    ;;
*)
    echo "usage: image.sh elf|pe ..." >&2
    exit 2
    ;;
esac

passed
