#!/bin/sh
# SPDX-License-Identifier: MIT
# Checks that the same sources always give the same bytes: a clean build of
# a copy of the sources gives the executable's bytes, and two packagings of
# two copies, apart in path, file dates, umask, time zone and locale, give
# the same archives, dated a user's SOURCE_DATE_EPOCH; and a packaging that
# fails (a compressor, a signing key) leaves no archive behind. Each copy is
# configured as the build under test.
#
# usage: rebuild.sh reproducible|archives CONFIG BUILD_DIR GREET
# CONFIG is the configuration under test, empty for a build without one.
set -u
# shellcheck source=tests/common.sh
. "$(dirname "$0")/common.sh"
case=$1 config=$2 build=$3 exe=$4
load_settings "$build"
if [ "$source_dir" = "$(cd "$build" && pwd -P)" ]; then
    skip "an in-source build cannot be copied apart from its sources"
fi
if instrumented "$exe"; then
    skip "a sanitizer records the source file's path in the executable, so a copy elsewhere differs"
fi
tmp=$(mktemp -d) || exit 1
on_exit

# build_copy DIR: copies the sources into DIR/src, then configures them and
# builds CONFIG in DIR/build. build_copy_date, when set, dates every copied
# file (touch -t).
build_copy() {
    dir=$1
    mkdir -p "$dir" || return 1
    # Sources unpacked read-only would stay so in the copy, and not go away.
    if ! { source_files "$source_dir" "$dir/src" && chmod -R u+w "$dir/src" &&
        if [ -n "${build_copy_date:-}" ]; then find "$dir/src" -exec touch -h -t "$build_copy_date" {} +; fi &&
        configure_rebuild "$dir/src" "$dir/build" -DBUILD_TESTING=OFF &&
        "$cmake" --build "$dir/build" ${config:+--config "$config"}; } >"$dir/log" 2>&1; then
        cat "$dir/log"
        return 1
    fi
}

case $case in
reproducible)
    build_copy "$tmp/a" || exit 1
    cmp "$exe" "$tmp/a/build/${exe#"$build"/}" || fail "a second clean build gave different bytes"
    ;;
archives)
    case " $generators " in *" ZIP "*) command -v zip >/dev/null || skip "the .zip needs zip (package zip)" ;; esac
    # A user's date, which every member must carry.
    SOURCE_DATE_EPOCH=1000000000
    export SOURCE_DATE_EPOCH
    # package DIR: builds a copy of the sources in DIR and packages it.
    package() {
        build_copy "$1" || exit 1
        (cd "$1/build" && "$cpack" ${config:+-C "$config"} >>"$1/log" 2>&1) || {
            cat "$1/log"
            exit 1
        }
    }
    # refused DIR CAUSE: cpack failed in DIR/build, said CAUSE, and left
    # there no archive, checksum or signature, whole or partial, of this run
    # or an earlier one.
    refused() {
        if (cd "$1/build" && "$cpack" ${config:+-C "$config"} >"$1/log" 2>&1); then
            fail "cpack made archives although it could not repack or sign them"
        fi
        grep -q -- "$2" "$1/log" || fail "cpack did not say why it failed ($2):" "$(cat "$1/log")"
        for made in $archives; do
            for file in "$made" "$made.sha256" "$made.asc"; do
                [ ! -e "$1/build/$file" ] || fail "a failed cpack left $file behind"
            done
        done
    }
    # The packaging refuses a tar that is not GNU tar.
    tar=$(command -v gtar || command -v tar)
    if ! "$tar" --version 2>/dev/null | grep -q 'GNU tar'; then
        build_copy "$tmp/a" || exit 1
        refused "$tmp/a" "Packaging needs GNU tar"
        passed && skip "packaging needs GNU tar, as gtar or tar; $tar is not"
        exit 1
    fi
    (umask 022 && TZ=UTC0 LC_ALL=C package "$tmp/a") || exit 1
    # The other in a longer path, its files dated years back, under a
    # restrictive umask, another time zone and locale.
    (umask 077 && TZ=KST-9 LC_ALL=C.UTF-8 &&
        export TZ LC_ALL && build_copy_date=200101010000 package "$tmp/other/b") || exit 1
    for archive in $archives; do
        [ -f "$tmp/a/build/$archive" ] || fail "cpack made no $archive"
        cmp "$tmp/a/build/$archive" "$tmp/other/b/build/$archive" || fail "$archive differs between two packagings"
        dated "$tmp/a/build/$archive" 200109090146.40 "$tmp/dated-$archive"
    done
    # A compressor that fails halfway through.
    mkdir "$tmp/failing"
    for tool in gzip zip; do
        printf '#!/bin/sh\nhead -c 10\necho "%s: planted failure" >&2\nexit 1\n' "$tool" >"$tmp/failing/$tool"
    done
    chmod +x "$tmp/failing/gzip" "$tmp/failing/zip"
    PATH=$tmp/failing:$PATH refused "$tmp/a" "planted failure"
    # A signing key that gpg does not have, after a good packaging.
    if command -v gpg >/dev/null; then
        (cd "$tmp/a/build" && "$cpack" ${config:+-C "$config"} >/dev/null) || fail "cpack failed"
        mkdir -m 700 "$tmp/gnupg"
        GNUPGHOME=$tmp/gnupg GREET_SIGNING_KEY=nobody@example.invalid refused "$tmp/a" "gpg could not sign"
    elif passed; then
        skip "a failed signature needs gpg (package gnupg); the rest passed"
    fi
    ;;
*)
    echo "usage: rebuild.sh reproducible|archives CONFIG BUILD_DIR GREET" >&2
    exit 2
    ;;
esac

passed
