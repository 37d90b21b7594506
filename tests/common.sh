# SPDX-License-Identifier: MIT
# Helpers that the scripts in tests/ source: counting failures, skipping,
# and reading a build's settings.
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

# skip REASON: the case cannot run here; CTest counts exit status 77 as
# skipped.
skip() {
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

# load_settings BUILD_DIR: sets version, source_dir, cmake, ctest, cpack,
# archives, source_archive, toolchain and rebuild_args, the sh words that
# configure a rebuild, from what CMake wrote into BUILD_DIR.
load_settings() {
    # shellcheck disable=SC2034 # for the scripts that load them
    version='' source_dir='' cmake='' ctest='' cpack='' archives='' source_archive=''
    toolchain='' rebuild_args=''
    if [ ! -f "$1/build-settings.sh" ]; then
        printf '%s: not a build folder configured with tests\n' "$1" >&2
        exit 2
    fi
    # shellcheck source=/dev/null # written by tests/CMakeLists.txt
    . "$1/build-settings.sh"
}

# release_epoch: midnight UTC of the newest release heading in the loaded
# sources' NEWS.md, in seconds.
release_epoch() {
    date -u -d "$(sed -n 's/^## [^ ]* (\([0-9-]*\))$/\1/p' "$source_dir/NEWS.md" | head -n 1)" +%s
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
# COPY_TO, as the source archive holds them.
source_files() {
    "$cmake" -D "GREET_SOURCE_DIR=$1" -D "GREET_COPY_TO=$2" -P "$source_dir/packaging/source-files.cmake"
}

# dated ARCHIVE EPOCH [LABEL]: every member of ARCHIVE (.tar.gz, .zip, or
# .deb: its ar members, control and data), ./ included, is dated EPOCH, in
# seconds. The dates are read as the archive records them: a tar's by GNU
# tar, which packaging needs too, a .zip's (local time, packed in UTC) by
# unzip. LABEL names the archive in a failure.
dated() {
    label=${3:-${1##*/}}
    case $1 in
    *.zip)
        dates=$(unzip -Z -T "$1" | awk '$1 ~ /^[-dl][-r][-w][-xsS]/ { print $7, $NF }')
        stamp=$(date -u -d "@$2" +%Y%m%d.%H%M%S)
        ;;
    *)
        gnu_tar=$(command -v gtar || command -v tar)
        "$gnu_tar" --version 2>/dev/null | grep -q 'GNU tar' || fail "$label: reading dates needs GNU tar"
        case $1 in
        *.deb)
            dates=$(dpkg-deb --ctrl-tarfile "$1" | "$gnu_tar" --full-time --utc -tvf -
                dpkg-deb --fsys-tarfile "$1" | "$gnu_tar" --full-time --utc -tvf -)
            ar_date=$(date -u -d "@$2" '+%b %-d %H:%M %Y')
            odd=$(TZ=UTC0 ar tv "$1" | awk -v d="$ar_date" '$4 " " $5 " " $6 " " $7 != d { print $NF }')
            [ -z "$odd" ] || fail "$label: ar members not dated $ar_date UTC: $odd"
            ;;
        *) dates=$("$gnu_tar" --full-time --utc -tvzf "$1") ;;
        esac
        dates=$(printf '%s\n' "$dates" | awk 'NF { print $4 "T" $5, $6 }')
        stamp=$(date -u -d "@$2" +%Y-%m-%dT%H:%M:%S)
        ;;
    esac
    [ -n "$dates" ] || fail "$label: no member dates read"
    odd=$(printf '%s\n' "$dates" | grep -v "^$stamp " | cut -d ' ' -f 2 | tr '\n' ' ')
    [ -z "$odd" ] || fail "$label: members not dated $stamp UTC: $odd"
}

# instrumented EXECUTABLE: it was built with a sanitizer, whose runtime it
# calls by these names whatever the compiler and linking.
instrumented() {
    LC_ALL=C grep -q -a -E '__(asan|ubsan|tsan|msan|hwasan|lsan)_' "$1"
}
