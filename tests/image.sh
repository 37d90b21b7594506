#!/bin/sh
# SPDX-License-Identifier: MIT
# Reads the built executable's headers: the machine it is for, what it links
# and imports, how it is hardened, and what it carries besides its code.
# greet's promise never to read the environment, files or a locale shows in
# what it imports: the C library's calls of its own and of the start-up code,
# and no others.
#
# usage: image.sh elf READELF GREET OBJECT  (OBJECT: one the same compiler made)
#        image.sh pe OBJDUMP STRINGS GREET.EXE VERSION
set -u
# shellcheck source=tests/common.sh
. "$(dirname "$0")/common.sh"
# The tools' messages are matched as they read untranslated.
LC_ALL=C
export LC_ALL
case=$1
shift

# only_allowed ALLOWED IMPORTS: each of the imported names (a symbol version
# after @ aside) is one of the ALLOWED, a list with spaces around each name.
only_allowed() {
    for name in $2; do
        case $1 in *[[:space:]]"${name%%@*}"[[:space:]]*) ;; *) fail "imports $name" ;; esac
    done
}

case $case in
elf)
    readelf=$1 exe=$2 object=$3
    machine=$("$readelf" -h "$object" | grep -E '^ *(Class|Data|Machine):') || exit 1
    [ "$("$readelf" -h "$exe" | grep -E '^ *(Class|Data|Machine):')" = "$machine" ] ||
        fail "not built for the machine of the compiler's objects: $machine"
    dynamic=$("$readelf" -dW "$exe") || exit 1
    segments=$("$readelf" -lW "$exe") || exit 1
    needed=$(printf '%s\n' "$dynamic" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | tr '\n' ' ')
    # A sanitizer's runtime brings the C++ runtime and more along.
    if ! instrumented "$exe"; then
        [ "$needed" = "libc.so.6 " ] || fail "links more than the C library: $needed"
        allowed=" puts fflush ferror fclose perror stdout __libc_start_main __cxa_finalize abort
            __stack_chk_fail __stack_chk_guard __gmon_start__ _ITM_deregisterTMCloneTable
            _ITM_registerTMCloneTable "
        only_allowed "$allowed" "$("$readelf" --dyn-syms -W "$exe" |
            awk '$7 == "UND" && $8 != "" || $8 ~ /@/ { print $8 }')"
    fi
    sections=$("$readelf" -SW "$exe") || exit 1
    case $sections in *" .comment "*) fail "carries the compilers' versions in .comment" ;; esac
    expect "not a position-independent executable" '\(FLAGS_1\).*PIE' "$dynamic"
    expect "symbols are not bound at start-up (BIND_NOW)" '\(FLAGS\).*BIND_NOW|\(FLAGS_1\).* NOW' "$dynamic"
    expect "no GNU_RELRO segment" '^ *GNU_RELRO ' "$segments"
    expect "no non-executable GNU_STACK segment" '^ *GNU_STACK( +0x[0-9a-f]+){5} +RW ' "$segments"
    if instrumented "$exe" && passed; then
        skip "an instrumented build links its sanitizers' runtimes ($needed); its other headers passed"
    fi
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
    # A locale set from the environment changes nothing msvcrt writes for
    # greet, so no run shows it; the imports do.
    allowed=" puts fflush ferror fclose perror __getmainargs __initenv __iob_func __set_app_type
        __setusermatherr _acmdln _amsg_exit _cexit _commode _fmode _initterm _onexit abort calloc
        exit fprintf free fwrite malloc memcpy signal strlen strncmp vfprintf __C_specific_handler
        DeleteCriticalSection EnterCriticalSection GetLastError GetStartupInfoA
        InitializeCriticalSection LeaveCriticalSection SetUnhandledExceptionFilter Sleep
        TlsGetValue VirtualProtect VirtualQuery "
    only_allowed "$allowed" "$(printf '%s\n' "$headers" |
        awk '/^The Import Tables/ { t = 1; next } /^The / { t = 0 } t && /^\t[0-9a-f]+\t/ { print $NF }')"
    expect "carries a symbol table" '^[[:space:]]+symbols stripped$' "$headers"
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
*)
    echo "usage: image.sh elf|pe ..." >&2
    exit 2
    ;;
esac

passed
