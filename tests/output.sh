#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The greet authors
# SPDX-License-Identifier: MIT
#
# Runs greet the way a shell would and checks every byte it writes and its
# exit status, and that README.md and the man page say what it writes.
# What greet must not do at all (read standard input, the environment or a
# locale, handle signals) shows in what its code calls, which image.sh reads.
#
# usage: output.sh CASE NEWLINE COMMAND...
#   CASE     arguments | stdout-full | stdout-closed | one-write | close-error
#            | documented | empty-root
#   NEWLINE  lf or crlf, the newline the target's C runtime writes
#   COMMAND  greet, preceded by the emulator that runs it, if any; or
#            "missing EMULATOR" where the build found none
set -u
# shellcheck source=tests/common.sh
. "$(dirname "$0")/common.sh"
case=$1 newline=$2
shift 2
[ "$1" != missing ] || skip "needs $2 to run the built program"

make_tmp
out=$tmp/out err=$tmp/err

if [ "$newline" = crlf ]; then nl='\r\n'; else nl='\n'; fi
name='\270\360\267\241\264\336' # B8 F0 B7 A1 B4 DE
# shellcheck disable=SC2059 # the escapes are meant to be expanded
printf "hello $name!$nl""30712, $name!$nl" >"$tmp/greeting"

# check_greeting LABEL STATUS: the run left exactly the greeting, status 0,
# and nothing on standard error.
check_greeting() {
    [ "$2" -eq 0 ] || fail "$1: exit status $2, expected 0"
    cmp -s "$tmp/greeting" "$out" || fail "$1: standard output is not the greeting; it was:" "$(od -An -tx1 "$out")"
    [ ! -s "$err" ] || fail "$1: standard error is not empty; it was:" "$(cat "$err")"
}

# check_write_error LABEL STATUS CAUSE: the run failed with status 1 and said
# why in exactly one line.
check_write_error() {
    [ "$2" -eq 1 ] || fail "$1: exit status $2, expected 1"
    # shellcheck disable=SC2059
    printf "greet: write error: $3$nl" >"$tmp/message"
    cmp -s "$tmp/message" "$err" || fail "$1: standard error is not the one-line message; it was:" "$(od -An -c "$err")"
}

case $case in
arguments)
    # Windows allows a command line of 32767 characters. Natively every
    # one-character option is tried too; under Wine, where each start takes
    # a tenth of a second, the common ones.
    args=("" " " "  two  spaces  " - -- "%s%n%x" "$(printf '\377\376\200 not UTF-8')" "$(printf 'two\nlines')"
        "$(printf '%030000d' 0)" /? --help --version --usage --verbose --quiet --debug)
    if [ "$newline" = lf ]; then
        for code in $(seq 33 126); do args+=("-$(printf '%b' "\\x$(printf %x "$code")")"); done
    else
        args+=(-h -v -V -q)
    fi
    for arg in "${args[@]}"; do
        label="argument '$(printf '%.40s' "$arg")'"
        "$@" "$arg" >"$out" 2>"$err"
        check_greeting "$label" $?
    done
    # shellcheck disable=SC2046 # one argument per number is the point
    "$@" $(seq 1 300) >"$out" 2>"$err"
    check_greeting "300 arguments" $?
    ;;
stdout-full)
    [ -c /dev/full ] || skip "needs /dev/full"
    "$@" >/dev/full 2>"$err"
    check_write_error "standard output /dev/full" $? "No space left on device"
    ;;
stdout-closed)
    "$@" >&- 2>"$err"
    check_write_error "standard output closed" $? "Bad file descriptor"
    ;;
one-write)
    # Redirected output should leave in a single write(2), not a line at a time.
    strace -o /dev/null true 2>/dev/null || skip "strace is missing or cannot trace here"
    # LeakSanitizer, when greet has it, cannot run under a tracer.
    ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0 \
        strace -f -qq -e trace=write,writev,pwrite64,pwritev -o "$tmp/trace" "$@" >"$out" 2>"$err"
    check_greeting "traced run" $?
    writes=$(grep -c -E '^[0-9]+ +p?writev?(64)?\(1,' "$tmp/trace")
    [ "$writes" -eq 1 ] || fail "standard output took $writes writes, expected 1:" "$(cat "$tmp/trace")"
    ;;
close-error)
    # A close that fails after every write succeeded, as NFS or SMB may
    # report a lost file or a vanished server: strace fails close(2) of the
    # output file, and that call only, with EIO.
    strace -o /dev/null true 2>/dev/null || skip "strace is missing or cannot trace here"
    # shellcheck disable=SC2094 # strace only names the file it watches
    ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0 \
        strace -f -qq -o /dev/null -P "$out" -e inject=close:error=EIO "$@" >"$out" 2>"$err"
    check_write_error "standard output failing at close" $? "Input/output error"
    ;;
documented)
    # What README.md and the man page say greet writes and returns, against
    # what it does: each line in text (decoded by iconv) and in bytes, the
    # name's bytes, the count, the message for a full disk, and the exit
    # statuses.
    "$@" >"$out" 2>"$err"
    check_greeting "greet" $?
    [ -c /dev/full ] || skip "needs /dev/full"
    "$@" >/dev/full 2>"$tmp/message"
    statuses="0 $?"
    readme=$(dirname "$0")/../README.md man=$(dirname "$0")/../doc/greet.1.in
    hex() { od -An -tx1 | tr a-f A-F | tr -s ' \n' '  ' | sed 's/^ //; s/ $//'; }
    count=$(wc -c <"$out" | tr -d ' ')
    grep -q "output is $count bytes" "$readme" || fail "README.md does not say the output is $count bytes"
    tr -d '\r' <"$out" >"$tmp/lines"
    grep -q "exactly $(wc -c <"$tmp/lines") bytes" "$man" || fail "the man page does not say the output's size with LF"
    grep -q -x -F ".BR \"$(head -c 12 "$out" | tail -c 6 | hex)\" ." "$man" || fail "the man page does not list the name's bytes"
    while IFS= read -r line; do
        text=$(printf '%s' "$line" | iconv -f CP949 -t UTF-8)
        grep -q -x -F "    $text" "$readme" || fail "README.md does not show the line $text"
        grep -q -F "\`$(printf '%s' "$line" | hex)\`" "$readme" || fail "README.md does not give the bytes of $text"
        grep -q -x -F "$(printf '%s\n' "$text" | sed 's/모래달/\\fINAME\\fP/')" "$man" || fail "the man page does not show the line $text"
    done <"$tmp/lines"
    message=$(tr -d '\r' <"$tmp/message")
    grep -q -F "\`${message:-no message}\`" "$readme" || fail "README.md does not show the message $message"
    grep -q -F "\"${message%No space left on device}\"" "$man" || fail "the man page does not show the message $message"
    [ "$(sed -n 's/^| \([0-9]*\) | [^`].*/\1/p' "$readme" | xargs)" = "$statuses" ] ||
        fail "README.md's exit statuses are not $statuses"
    [ "$(sed -n '/^\.SH EXIT STATUS/,/^\.SH [^E]/s/^\.B \([0-9]*\)$/\1/p' "$man" | xargs)" = "$statuses" ] ||
        fail "the man page's exit statuses are not $statuses"
    ;;
empty-root)
    # A static greet needs nothing but itself: it runs in a root that holds
    # only it and, under qemu, the emulator with its libraries, where qemu
    # cannot fall back to the host's own loader and libraries.
    command=("$@") root=$tmp/root
    mkdir "$root" && cp "${!#}" "$root/greet" || exit 1
    if [ $# -gt 1 ]; then
        # shellcheck disable=SC2046 # one path per library
        cp -L --parents "$1" $(ldd "$1" | grep -o '/[^ ]*') "$root" || exit 1
    fi
    command[-1]=/greet
    enter=(chroot)
    if [ "$(id -u)" -ne 0 ]; then
        unshare --map-root-user true 2>/dev/null || skip "needs root, or user namespaces (unshare -r), to enter a root"
        enter=(unshare --map-root-user chroot)
    fi
    "${enter[@]}" "$root" "${command[@]}" >"$out" 2>"$err"
    check_greeting "greet alone in a root" $?
    [ -c /dev/full ] || skip "needs /dev/full"
    "${enter[@]}" "$root" "${command[@]}" >/dev/full 2>"$err"
    check_write_error "greet alone in a root, standard output /dev/full" $? "No space left on device"
    ;;
*)
    echo "usage: output.sh CASE lf|crlf COMMAND..." >&2
    exit 2
    ;;
esac

passed
