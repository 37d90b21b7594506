# SPDX-FileCopyrightText: 2026 The greet authors
# SPDX-License-Identifier: MIT
#
# Helpers that the scripts in tests/ source: counting failures, skipping,
# cleaning up.
# shellcheck shell=sh

failures=0

fail() {
    printf 'FAIL: %s\n' "$*"
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

# not_here REASON: the case does not apply to this build, wherever it runs.
not_here() {
    printf 'SKIP: %s\n' "$*"
    exit 77
}

# passed: the exit status of a script at its end.
passed() {
    [ "$failures" -eq 0 ]
}

# cleanup: removes what a script made, the folder $tmp; a script that
# makes more defines its own.
cleanup() {
    rm -rf "${tmp:?}"
}

# make_tmp: makes the folder $tmp, which cleanup removes when the script
# ends, also when it is interrupted: dash runs no EXIT trap for a signal
# that ends it.
make_tmp() {
    tmp=$(mktemp -d) || exit 1
    trap cleanup EXIT
    trap 'exit 129' HUP
    trap 'exit 130' INT
    trap 'exit 143' TERM
}

# instrumented EXECUTABLE: it was built with a sanitizer, whose runtime it
# calls by these names whatever the compiler and linking.
instrumented() {
    LC_ALL=C grep -q -a -E '__(asan|ubsan|tsan|msan|hwasan|lsan)_' "$1"
}
