#!/bin/sh
# SPDX-FileCopyrightText: 2026 The greet authors
# SPDX-License-Identifier: MIT
#
# The archives case. Copies of the sources, built and packed apart, give
# the same bytes: a clean rebuild the executable's; two packagings apart in
# path, file dates, umask, time zone, locale and time the same archives,
# dated the release or a user's date. A run that fails anywhere leaves none
# of its kind's files and the other kind's as they were. Each copy is
# configured as the build under test.
#
# usage: archives.sh CONFIG BUILD_DIR GREET
# CONFIG is the configuration under test, empty for a build without one.
set -u
# shellcheck source=tests/common.sh
. "$(dirname "$0")/common.sh"
config=$1 build=$2 exe=$3
load_settings "$build"
if [ "$source_dir" = "$(cd "$build" && pwd -P)" ]; then
    not_here "an in-source build cannot be copied apart from its sources"
fi
if instrumented "$exe"; then
    not_here "a sanitizer records the source file's path in the executable, so a copy elsewhere differs"
fi
tmp=$(mktemp -d) || exit 1
on_exit

# build_copy DIR: copies the sources into DIR/src, then configures them and
# builds CONFIG in DIR/build. build_copy_date, when set, dates every copied
# file (touch -t).
build_copy() {
    mkdir -p "$1" || return 1
    if ! { source_files "$source_dir" "$1/src" &&
        if [ -n "${build_copy_date:-}" ]; then find "$1/src" -exec touch -h -t "$build_copy_date" {} +; fi &&
        configure_rebuild "$1/src" "$1/build" -DBUILD_TESTING=OFF &&
        "$cmake" --build "$1/build" ${config:+--config "$config"}; } >"$1/log" 2>&1; then
        cat "$1/log"
        return 1
    fi
}

(umask 022 && TZ=UTC0 && export TZ && build_copy "$tmp/a") || exit 1
cmp "$exe" "$tmp/a/build/${exe#"$build"/}" || fail "a second clean build gave different bytes"
[ -n "$gnu_tar" ] || skip "packaging needs GNU tar, as gtar or tar, when the build is configured"
case $archives in *.zip*) { command -v zip && command -v unzip; } >/dev/null || skip "the .zip needs zip and unzip (packages zip and unzip)" ;; esac
(umask 022 && TZ=UTC0 && export TZ && packs "$tmp/a/build") || exit 1
# The other in a longer path, its files dated years back, under a
# restrictive umask, another time zone and locale, a second later, with
# the release date given as a user's SOURCE_DATE_EPOCH.
(umask 077 && TZ=KST-9 LC_ALL=C.UTF-8 SOURCE_DATE_EPOCH=$release_epoch && sleep 1 &&
    export TZ LC_ALL SOURCE_DATE_EPOCH && build_copy_date=200101010000 build_copy "$tmp/other/b" &&
    packs "$tmp/other/b/build") || exit 1
# A run leaves its archives and NAME.json, each with its checksum.
json=greet-$version-$platform.json
expected=$(for file in $archives $json; do printf '%s\n%s.sha256\n' "$file" "$file"; done | sort)
[ "$(releases "$tmp/a/build")" = "$expected" ] || fail "cpack left:" "$(releases "$tmp/a/build")"
for archive in $archives $json; do
    cmp "$tmp/a/build/$archive" "$tmp/other/b/build/$archive" || fail "$archive differs between two packagings"
done
# The release date is midnight UTC of NEWS.md's date, as date(1) reads it.
[ "$(utc "$release_epoch" %Y-%m-%dT%H:%M:%S)" = "${release_date}T00:00:00" ] || fail "release epoch $release_epoch"
for archive in $archives; do dated "$tmp/a/build/$archive" "$release_epoch"; done
# Another generator would make other bytes: refused, changing nothing.
mkdir "$tmp/kept" && cp "$tmp/a/build"/greet[-_]* "$tmp/kept/"
refused "$tmp/a/build" "$tmp/kept" "cpack -G TGZ: greet" -G TGZ
# A failed binary run leaves the source archive alone.
packs "$tmp/a/build" --config CPackSourceConfig.cmake
rm -f "$tmp/kept"/* && cp "$tmp/a/build/greet-$version".* "$tmp/kept/"
command -v gpg >/dev/null || skip "signing needs gpg (package gnupg)"
GNUPGHOME=$tmp/gnupg
export GNUPGHOME
mkdir -m 700 "$GNUPGHOME" "$tmp/bin"
gpg --batch --quiet --passphrase '' --quick-gen-key 'greet test <test@example.invalid>' ed25519 sign never 2>/dev/null ||
    fail "gpg could not make a key"
# After a good signed run, each tool failing in turn, gpg at the last
# signature, after a good one where there are two.
case $archives in *.zip*) tools=zip ;; *.deb*) tools="tar gzip dpkg-shlibdeps dpkg-gencontrol dpkg-deb" ;; *) tools="tar gzip" ;; esac
signatures=0
for archive in $archives; do signatures=$((signatures + 1)); done
for tool in $tools gpg; do
    GREET_SIGNING_KEY=test@example.invalid packs "$tmp/a/build"
    real=$(command -v "$tool")
    : >"$tmp/signed"
    [ "$tool" != tar ] || real=$gnu_tar
    # The planted gpg fails the last signature only; tar answers --version.
    # shellcheck disable=SC2016 # expanded by the planted tool
    [ "$tool" = gpg ] && run="[ \$(wc -l <$tmp/signed) -lt $signatures ]" || run='[ "$1" = --version ]'
    printf '#!/bin/sh\necho >>%s\n! %s || exec %s "$@"\necho "%s: planted failure" >&2\nexit 1\n' \
        "$tmp/signed" "$run" "$real" "$tool" >"$tmp/bin/$tool"
    chmod +x "$tmp/bin/$tool"
    # The build runs GNU tar as configured, not from PATH.
    [ "$tool" != tar ] || "$cmake" "-DGREET_TAR=$tmp/bin/tar" "$tmp/a/build" >/dev/null
    GREET_SIGNING_KEY=test@example.invalid PATH=$tmp/bin:$PATH refused "$tmp/a/build" "$tmp/kept" "$tool: planted failure"
    [ "$tool" != tar ] || "$cmake" "-DGREET_TAR=$gnu_tar" "$tmp/a/build" >/dev/null
    rm "$tmp/bin/$tool"
done
GREET_SIGNING_KEY=nobody@example.invalid refused "$tmp/a/build" "$tmp/kept" "gpg could not sign"
# Unsigned, with a user's date, which every member must carry.
SOURCE_DATE_EPOCH=1000000000 packs "$tmp/a/build"
for archive in $archives; do
    dated "$tmp/a/build/$archive" 1000000000
    [ ! -e "$tmp/a/build/$archive.asc" ] || fail "an unsigned run left $archive.asc"
done
gpgconf --kill gpg-agent 2>/dev/null

passed
