#!/bin/sh
# SPDX-FileCopyrightText: 2026 The greet authors
# SPDX-License-Identifier: MIT
#
# Checks a source archive the way a distribution uses one: unpacked into a
# read-only folder, each build is configured out of tree as a reference
# build folder was (load_settings in common.sh), built, tested with the whole
# suite (which installs) and packaged, as a user other than root (nobody,
# when run as root). Every archive it packages must have the
# bytes of the one of the same name in the reference folder, so that a
# download can be rebuilt from the published sources.
#
# usage: distcheck.sh SOURCE_ARCHIVE REFERENCE_BUILD_DIR...
#        (after cpack in each reference folder)
set -eu
# shellcheck source=tests/common.sh
. "$(dirname "$0")/common.sh"
archive=$1
shift
tmp=$(mktemp -d)
cleanup() {
    chmod -R u+w "$tmp"
    rm -rf "$tmp"
}
on_exit
chmod 755 "$tmp"
as_user=
if [ "$(id -u)" -eq 0 ]; then
    as_user="setpriv --reuid=nobody --regid=nogroup --clear-groups"
fi

tar -xzf "$archive" -C "$tmp"
src=$tmp/$(basename "$archive" .tar.gz)
# The other user reads it all and writes none of it.
chmod -R a+rX,a-w "$src"

n=0
for reference in "$@"; do
    n=$((n + 1))
    build=$tmp/build$n settings=$tmp/settings$n
    mkdir "$build" "$settings"
    # The other user may not read the checkout: it gets the unpacked
    # sources' own helpers and a copy of the reference's settings.
    cp "$reference/build-settings.sh" "$settings/"
    chmod -R a+rX "$settings"
    [ -z "$as_user" ] || chown nobody:nogroup "$build"
    echo "== $archive as $reference"
    # as_user is a command and its arguments, or nothing; the script in single
    # quotes takes its values as arguments. It packs unsigned: the other user
    # cannot read the maintainer's keys, and the bytes compared are the
    # archives'. That user may lack a device root has (/dev/fuse is often
    # root's alone), so its skips are shown rather than failed under CI.
    # shellcheck disable=SC2086,SC2016
    $as_user env -u GREET_SIGNING_KEY -u GNUPGHOME -u CI HOME="$build" sh -euc '
        log=$2/distcheck.log
        . "$1/tests/common.sh"
        load_settings "$3"
        configure_rebuild "$1" "$2" >"$log" 2>&1
        "$cmake" --build "$2" >>"$log" 2>&1
        "$ctest" --test-dir "$2" --output-on-failure >>"$log" 2>&1
        sed -n "/tests passed/p; /(Skipped)/p" "$log"
        cd "$2" && "$cpack" >>"$log" 2>&1' sh "$src" "$build" "$settings" || {
        cat "$build/distcheck.log"
        exit 1
    }
    load_settings "$reference"
    for made in $archives; do
        cmp "$build/$made" "$reference/$made"
    done
    echo "same bytes as in $reference: $archives"
done
