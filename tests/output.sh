#!/bin/sh
# SPDX-License-Identifier: MIT
# Runs greet the way a shell would and checks every byte it writes and its
# exit status.
#
# usage: output.sh CASE NEWLINE COMMAND...
#   CASE     output | arguments | stdin | stdout-full | stdout-closed | one-write
#            | close-error
#   NEWLINE  lf or crlf, the newline the target's C runtime writes
#   COMMAND  greet, preceded by the emulator that runs it, if any
set -u
case=$1 newline=$2
shift 2

tmp=$(mktemp -d) || exit 1
trap 'rm -rf "$tmp"' EXIT
out=$tmp/out err=$tmp/err
failures=0

fail() {
    printf 'FAIL: %s\n' "$*"
    failures=$((failures + 1))
}

if [ "$newline" = crlf ]; then nl='\r\n'; else nl='\n'; fi
name='\270\360\267\241\264\336' # B8 F0 B7 A1 B4 DE
# shellcheck disable=SC2059 # the escapes are meant to be expanded
printf "hello $name!$nl""30712, $name!$nl" >"$tmp/greeting"

# check_greeting LABEL STATUS: the run left exactly the greeting, status 0,
# and nothing on standard error.
check_greeting() {
    [ "$2" -eq 0 ] || fail "$1: exit status $2, expected 0"
    if ! cmp -s "$tmp/greeting" "$out"; then
        fail "$1: standard output is not the greeting; it was:"
        od -An -tx1 "$out"
    fi
    if [ -s "$err" ]; then
        fail "$1: standard error is not empty; it was:"
        cat "$err"
    fi
}

# check_write_error LABEL STATUS CAUSE: the run failed with status 1 and said
# why in exactly one line.
check_write_error() {
    [ "$2" -eq 1 ] || fail "$1: exit status $2, expected 1"
    # shellcheck disable=SC2059
    printf "greet: write error: $3$nl" >"$tmp/message"
    if ! cmp -s "$tmp/message" "$err"; then
        fail "$1: standard error is not the one-line message; it was:"
        od -An -c "$err"
    fi
}

case $case in
output)
    "$@" >"$out" 2>"$err"
    check_greeting "no arguments" $?
    ;;
arguments)
    for arg in "" " " "  two  spaces  " --help -h --version - -- "%s%n%x" \
        "$(printf '\377\376\200 not UTF-8')" "$(printf 'two\nlines')"; do
        "$@" "$arg" >"$out" 2>"$err"
        check_greeting "argument '$arg'" $?
    done
    # shellcheck disable=SC2046 # one argument per number is the point
    "$@" $(seq 1 300) >"$out" 2>"$err"
    check_greeting "300 arguments" $?
    ;;
stdin)
    "$@" <&- >"$out" 2>"$err"
    check_greeting "standard input closed" $?
    "$@" </dev/null >"$out" 2>"$err"
    check_greeting "standard input empty" $?
    printf 'unread input\n' | "$@" >"$out" 2>"$err"
    check_greeting "standard input a pipe with data" $?
    ;;
stdout-full)
    "$@" >/dev/full 2>"$err"
    check_write_error "standard output /dev/full" $? "No space left on device"
    ;;
stdout-closed)
    "$@" >&- 2>"$err"
    check_write_error "standard output closed" $? "Bad file descriptor"
    ;;
one-write)
    # Redirected output should leave in a single write(2), not a line at a time.
    if ! strace -o /dev/null true 2>/dev/null; then
        echo "SKIP: strace is missing or cannot trace here"
        exit 77
    fi
    strace -f -qq -e trace=write,writev,pwrite64,pwritev -o "$tmp/trace" "$@" >"$out" 2>"$err"
    check_greeting "traced run" $?
    writes=$(grep -c -E '^[0-9]+ +p?writev?(64)?\(1,' "$tmp/trace")
    if [ "$writes" -ne 1 ]; then
        fail "standard output took $writes writes, expected 1:"
        cat "$tmp/trace"
    fi
    ;;
close-error)
    # Standard output on a filesystem that takes every write and fails the
    # close, as NFS or SMB may when the server is gone.
    python=/usr/bin/python3
    if [ ! -c /dev/fuse ] || ! "$python" -c 'import fusepy' 2>/dev/null; then
        echo "SKIP: needs /dev/fuse and $python with fusepy (python3-fusepy)"
        exit 77
    fi
    mnt=$(mktemp -d "$PWD/close-error.XXXXXX") || exit 1
    "$python" "$(dirname "$0")/closefail.py" "$mnt" 2>"$tmp/fs" &
    fs=$!
    unmount() {
        umount "$mnt" 2>/dev/null || fusermount -u "$mnt" 2>/dev/null || kill "$fs" 2>/dev/null
        wait "$fs" 2>/dev/null
        rmdir "$mnt"
        rm -rf "$tmp"
    }
    trap unmount EXIT
    trap 'exit 1' HUP INT TERM
    tries=0
    until mountpoint -q "$mnt"; do
        if ! kill -0 "$fs" 2>/dev/null || [ $tries -ge 100 ]; then
            echo "SKIP: cannot mount a FUSE filesystem here:"
            cat "$tmp/fs"
            exit 77
        fi
        tries=$((tries + 1))
        sleep 0.1
    done
    "$@" >"$mnt/out" 2>"$err"
    check_write_error "standard output failing at close" $? "Input/output error"
    ;;
*)
    echo "usage: output.sh output|arguments|stdin|stdout-full|stdout-closed|one-write|close-error lf|crlf COMMAND..." >&2
    exit 2
    ;;
esac

[ "$failures" -eq 0 ]
