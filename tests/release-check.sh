#!/bin/sh
# SPDX-FileCopyrightText: 2026 The greet authors
# SPDX-License-Identifier: MIT
#
# The release check, after cpack in each build folder given: the archives
# README.md names for the build's platform, and the source archive in the
# first. Each must be there and among those its run listed, its checksum
# and signature, if any, verify, and it holds exactly the expected files,
# each once, under its top folder, as HACKING.md's rules have them; a
# .deb's fields as dpkg reads them, and lintian's silence.
#
# usage: release-check.sh BUILD_DIR...   (in cpack's environment: with
#        GREET_SIGNING_KEY set, every archive is signed)
set -u
# shellcheck source=tests/common.sh
. "$(dirname "$0")/common.sh"
LC_ALL=C
export LC_ALL
tmp=$(mktemp -d) || exit 1
on_exit
names=
sources=

# members TAR: one line a member, "MODE OWNER/GROUP SIZE NAME".
members() {
    "$cmake" -E tar tvf "$1" | awk '{ print $1, $3 "/" $4, $5, $9 }'
}

# holds ARCHIVE NAMES TOP EXPECTED: the member NAMES, one a line, are in
# name order, none twice, the first TOP; with directories and a leading ./
# left out, they are exactly EXPECTED.
holds() {
    [ "$2" = "$(printf '%s\n' "$2" | sort -u)" ] || fail "$1: members not in name order, or one twice"
    [ "$(printf '%s\n' "$2" | head -n 1)" = "$3" ] || fail "$1 does not list its top folder $3 first"
    listed=$(printf '%s\n' "$2" | grep -v -e '/$' -e '^$' | sed 's|^\./||' | tr '\n' ' ')
    [ "$listed" = "$4 " ] || fail "$1 holds: $listed; expected: $4"
}

# tar_members ARCHIVE MEMBERS: members are owned by root, each a directory
# or program of mode 0755 or another file of mode 0644.
tar_members() {
    odd=$(printf '%s\n' "$2" | grep -v -E '^(drwxr-xr-x|-rwxr-xr-x|-rw-r--r--|lrwxrwxrwx) root/root ')
    [ -z "$odd" ] || fail "$1: members not owned by root with mode 0755 or 0644: $odd"
}

for build in "$@"; do
    load_settings "$build"
    epoch=${SOURCE_DATE_EPOCH:-$release_epoch}
    case $platform in
    windows-*) expected=greet-$version-$platform.zip ;;
    *) expected=greet-$version-$platform.tar.gz ;;
    esac
    if [ -n "$deb_arch" ]; then
        expected="$expected greet_${version}_$deb_arch.deb"
    elif [ "${CI:-}" = true ] && [ "${platform#linux-}" != "$platform" ]; then
        fail "CI=true, and $build makes no .deb (configuring it said why)"
    fi
    binaries=$expected
    if [ -z "$sources" ]; then
        sources=greet-$version.tar.gz
        expected="$expected $sources"
    fi
    # The build's last binary run made these and no other archive.
    listed=$(grep -o '"greet[^"]*"' "$build/greet-$version-$platform.json" | tr -d '"' | sort | tr '\n' ' ')
    [ "$listed" = "$(echo "$binaries" | tr ' ' '\n' | sort | tr '\n' ' ')" ] || fail "$build made: $listed"
    for file in $expected; do
        archive=$build/$file
        [ -f "$archive" ] || { fail "$build: cpack made no $file" && continue; }
        grep -q "\"$file\"" "$build"/greet-*.json || fail "$file: not among the archives of cpack's last run"
        names="$names $file"
        (cd "$build" && sha256sum --quiet --strict -c "$file.sha256") || fail "$file: checksum does not verify"
        if [ -f "$archive.asc" ]; then
            [ "$(head -n 1 "$archive.asc")" = "-----BEGIN PGP SIGNATURE-----" ] ||
                fail "$file.asc is not an ASCII-armoured signature"
            gpg --batch --verify "$archive.asc" "$archive" 2>"$tmp/gpg" ||
                fail "$file.asc does not verify:" "$(cat "$tmp/gpg")"
        elif [ -n "${GREET_SIGNING_KEY:-}" ]; then
            fail "$file: no signature $file.asc"
        fi
        dated "$archive" "$epoch"
        top=${file%.tar.gz}
        top=${top%.zip}/
        case $file in
        "$sources")
            listing=$(members "$archive")
            tar_members "$file" "$listing"
            holds "$file" "$(printf '%s\n' "$listing" | cut -d ' ' -f 4 | sed "s|^$top||")" "" \
                "$(git -C "$source_dir" -c safe.directory="$source_dir" ls-files | tr '\n' ' ' | sed 's/ $//')"
            ;;
        *.tar.gz)
            doc=share/doc/greet
            listing=$(members "$archive")
            tar_members "$file" "$listing"
            holds "$file" "$(printf '%s\n' "$listing" | cut -d ' ' -f 4)" "$top" \
                "${top}bin/greet $top$doc/LICENSE $top$doc/NEWS.md $top$doc/README.md ${top}share/man/man1/greet.1.gz"
            ;;
        *.deb)
            doc=usr/share/doc/greet
            dpkg-deb --fsys-tarfile "$archive" >"$tmp/data.tar" || fail "$file: no data"
            listing=$(members "$tmp/data.tar")
            tar_members "$file" "$listing"
            holds "$file" "$(printf '%s\n' "$listing" | cut -d ' ' -f 4)" ./ \
                "usr/bin/greet $doc/README.md $doc/changelog.gz $doc/copyright usr/share/man/man1/greet.1.gz"
            fields=$(dpkg-deb -f "$archive" Package Section Priority)
            [ "$fields" = "Package: greet
Section: utils
Priority: optional" ] || fail "$file: fields: $fields"
            dpkg-deb -f "$archive" Depends | grep -q '^libc6 (>= ' || fail "$file: no libc6 dependency"
            # Every tag that lintian knows, down to the pedantic ones.
            tags=$(lintian --pedantic -I -E --color never "$archive" 2>/dev/null) || fail "$file: lintian failed"
            [ -z "$tags" ] || fail "$file: lintian: $tags"
            ;;
        *.zip)
            listing=$("$cmake" -E tar tf "$archive")
            holds "$file" "$listing" "$top" "${top}COPYING.MinGW-w64-runtime.txt ${top}LICENSE.txt ${top}NEWS.md \
${top}README.md ${top}bin/greet.exe"
            # zipinfo's second letter of the type is x or X for a member with
            # extra fields (owners, more times), which zip -X leaves out.
            extra=$(unzip -Z "$archive" | awk 'NF >= 9 && $1 ~ /^[-dl]/ && $5 ~ /^.[xX]/ { printf " %s", $NF }')
            [ -z "$extra" ] || fail "$file: members with extra fields:$extra"
            ;;
        esac
    done
done

[ -n "$names" ] || fail "no archive found in: $*"
passed && echo "checked:$names"
