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

# load_settings BUILD_DIR: sets version, source_dir, cmake, cpack,
# generators, archives, source_archive, toolchain and rebuild_args, the sh
# words that configure a rebuild, from what CMake wrote into BUILD_DIR.
load_settings() {
    # shellcheck disable=SC2034 # for the scripts that load them
    version='' source_dir='' cmake='' cpack='' generators='' archives='' source_archive=''
    toolchain='' rebuild_args=''
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

# source_files SOURCE_DIR [COPY_TO]: lists the files of the sources, or copies
# them into COPY_TO, as the source archive holds them.
source_files() {
    "$cmake" -D "GREET_SOURCE_DIR=$1" ${2:+-D "GREET_COPY_TO=$2"} -P "$source_dir/packaging/source-files.cmake"
}

# instrumented EXECUTABLE: it was built with a sanitizer, whose runtime it
# calls by these names whatever the compiler and linking.
instrumented() {
    LC_ALL=C grep -q -a -E '__(asan|ubsan|tsan|msan|hwasan|lsan)_' "$1"
}
