# SPDX-FileCopyrightText: 2026 The greet authors
# SPDX-License-Identifier: MIT
#
# Helpers that the scripts in tests/ source: counting failures, skipping,
# and reading a build's settings. Only POSIX sh and tools, or GNU's and the
# BSDs' forms side by side, as .ci/bsd-userland checks.
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

# on_exit: runs cleanup when the script ends, also when it is interrupted:
# dash runs no EXIT trap for a signal that ends it.
on_exit() {
    trap cleanup EXIT
    trap 'exit 129' HUP
    trap 'exit 130' INT
    trap 'exit 143' TERM
}

# load_settings BUILD_DIR: sets what tests/CMakeLists.txt wrote into
# BUILD_DIR's build-settings.sh.
load_settings() {
    # shellcheck disable=SC2034 # for the scripts that load them
    version='' platform='' deb_arch='' release_epoch='' release_date='' source_dir='' cmake='' cpack='' ctest='' \
        gnu_tar='' archives='' source_archive='' toolchain='' rebuild_args=''
    if [ ! -f "$1/build-settings.sh" ]; then
        printf '%s: not a build folder configured with tests\n' "$1" >&2
        exit 2
    fi
    # shellcheck source=/dev/null # written by tests/CMakeLists.txt
    . "$1/build-settings.sh"
}

# configure_rebuild SOURCE_DIR BUILD_DIR [ARG...]: configures SOURCE_DIR, a
# copy of the sources, in BUILD_DIR as the loaded build was configured, then
# with the ARGs.
configure_rebuild() {
    src=$1 bld=$2
    shift 2
    case $toolchain in
    '') ;;
    /*) set -- "-DCMAKE_TOOLCHAIN_FILE=$toolchain" "$@" ;;
    *) set -- "-DCMAKE_TOOLCHAIN_FILE=$src/$toolchain" "$@" ;;
    esac
    eval "set -- $rebuild_args \"\$@\""
    "$cmake" -S "$src" -B "$bld" "$@"
}

# source_files SOURCE_DIR COPY_TO: copies the files of the sources into
# COPY_TO, as the source archive holds them, writable.
source_files() {
    "$cmake" -D "GREET_SOURCE_DIR=$1" -D "GREET_COPY_TO=$2" -P "$source_dir/packaging/stage-sources.cmake" &&
        chmod -R u+w "$2"
}

# utc EPOCH FORMAT: the time EPOCH, in seconds, in UTC as FORMAT has it.
utc() {
    date -u -d "@$1" "+$2" 2>/dev/null || date -u -r "$1" "+$2"
}

# dated ARCHIVE EPOCH: every member of ARCHIVE (.tar.gz, .zip, or .deb: its
# ar members, control and data), ./ included, is dated EPOCH, in seconds.
# The dates are read as the archive records them: a tar's by GNU tar, a
# .zip's (local time, packed in UTC) by unzip.
dated() {
    case $1 in
    *.zip)
        dates=$(unzip -Z -T "$1" | awk '$1 ~ /^[-dl][-r][-w][-xsS]/ { print $7, $NF }')
        stamp=$(utc "$2" %Y%m%d.%H%M%S)
        ;;
    *)
        if [ "${1%.deb}" != "$1" ]; then
            dates=$(dpkg-deb --ctrl-tarfile "$1" | "$gnu_tar" --full-time --utc -tvf -
                dpkg-deb --fsys-tarfile "$1" | "$gnu_tar" --full-time --utc -tvf -)
            ar_date=$(utc "$2" '%b %e %H:%M %Y' | tr -s ' ')
            odd=$(TZ=UTC0 ar tv "$1" | awk -v d="$ar_date" '$4 " " $5 " " $6 " " $7 != d { print $NF }')
            [ -z "$odd" ] || fail "${1##*/}: ar members not dated $ar_date UTC: $odd"
        else
            dates=$("$gnu_tar" --full-time --utc -tvzf "$1")
        fi
        dates=$(printf '%s\n' "$dates" | awk 'NF { print $4 "T" $5, $6 }')
        stamp=$(utc "$2" %Y-%m-%dT%H:%M:%S)
        ;;
    esac
    [ -n "$dates" ] || fail "${1##*/}: no member dates read"
    odd=$(printf '%s\n' "$dates" | grep -v "^$stamp " | cut -d ' ' -f 2 | tr '\n' ' ')
    [ -z "$odd" ] || fail "${1##*/}: members not dated $stamp UTC: $odd"
}

# releases DIR: the release files in DIR (archives, checksums, signatures
# and NAME.json), one a line.
releases() {
    (cd "$1" && ls -d greet[-_]* 2>/dev/null)
}

# packs BUILD [ARG...]: cpack with the ARGs, for the configuration under
# test ($config, if any), succeeds in BUILD; else the script ends.
packs() {
    dir=$1
    shift
    (cd "$dir" && "$cpack" ${config:+-C "$config"} "$@" >"$dir/cpack.log" 2>&1) ||
        { fail "cpack${*:+ $*} failed:" "$(cat "$dir/cpack.log")" && exit 1; }
}

# refused BUILD KEPT CAUSE [ARG...]: cpack with the ARGs failed in BUILD,
# said CAUSE, and left there exactly the release files of the folder KEPT,
# with their bytes.
refused() {
    dir=$1 keep=$2 cause=$3
    shift 3
    (cd "$dir" && "$cpack" ${config:+-C "$config"} "$@" >"$dir/cpack.log" 2>&1) &&
        fail "cpack${*:+ $*} made archives although it could not make or sign them"
    grep -q -- "$cause" "$dir/cpack.log" || fail "cpack did not say why it failed ($cause):" "$(cat "$dir/cpack.log")"
    [ "$(releases "$dir")" = "$(releases "$keep")" ] ||
        fail "a failed cpack${*:+ $*} left:" "$(releases "$dir")" "where there were:" "$(releases "$keep")"
    for file in $(releases "$keep"); do
        cmp -s "$dir/$file" "$keep/$file" || fail "a failed cpack${*:+ $*} changed $file"
    done
}

# instrumented EXECUTABLE: it was built with a sanitizer, whose runtime it
# calls by these names whatever the compiler and linking.
instrumented() {
    LC_ALL=C grep -q -a -E '__(asan|ubsan|tsan|msan|hwasan|lsan)_' "$1"
}
