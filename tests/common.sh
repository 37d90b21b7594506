# SPDX-FileCopyrightText: 2026 The greet authors
# SPDX-License-Identifier: MIT
#
# Helpers that the scripts in tests/ source: counting failures, skipping,
# cleaning up.
# shellcheck shell=bash

failures=0

# fail MESSAGE: an assertion failed. The line names the assertion's place
# (the first caller outside this file), by which the controls tell which
# assertions their faults reached.
fail() {
    local i=1
    while [ "${BASH_SOURCE[i]}" = "${BASH_SOURCE[0]}" ]; do i=$((i + 1)); done
    printf 'FAIL: %s [%s:%s]\n' "$*" "${BASH_SOURCE[i]##*/}" "${BASH_LINENO[i - 1]}"
    failures=$((failures + 1))
}

# expect LABEL PATTERN TEXT: TEXT has a line matching the extended regex.
expect() {
    printf '%s\n' "$3" | grep -q -E -- "$2" || fail "$1 (no line matches '$2')"
}

# skip REASON: the machine lacks a tool or device that the case needs, as
# REASON says; CTest shows exit status 77 as a skip. Under CI=true, where
# the machine is readied to run every case, it is a failure.
skip() {
    if [ "${CI:-}" = true ]; then
        printf 'FAIL: CI=true, and the case cannot run: %s\n' "$*"
        exit 1
    fi
    printf 'SKIP: %s\n' "$*"
    exit 77
}

# passed: the exit status of a script at its end.
passed() {
    [ "$failures" -eq 0 ]
}

# make_tmp: makes the folder $tmp, which is removed when the script ends,
# also when it fails or is interrupted, whatever modes its files have.
make_tmp() {
    tmp=$(mktemp -d) || exit 1
    trap 'chmod -R u+w "$tmp" && rm -rf "$tmp"' EXIT
    trap 'exit 129' HUP
    trap 'exit 130' INT
    trap 'exit 143' TERM
}
