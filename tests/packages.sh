#!/bin/sh
# SPDX-License-Identifier: MIT
# Checks the release archives that cpack made in the given build folders,
# named literally as README.md names them: for each build, by what its
# greet is for, and the source archive in the first. Each must be there,
# its checksum and signature, if any, verify, and it holds exactly the
# expected files, each once, as the rules in HACKING.md have them; a .deb's
# fields as Debian's tools read them, and lintian's silence.
#
# usage: packages.sh BUILD_DIR...   (after cpack in each, in the same
#        environment: with GREET_SIGNING_KEY set, every archive is signed)
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

# holds ARCHIVE NAMES EXPECTED: the member NAMES, one a line, directories
# and a leading ./ left out, are exactly EXPECTED.
holds() {
    listed=$(printf '%s\n' "$2" | grep -v -e '/$' -e '^$' | sed 's|^\./||' | sort | tr '\n' ' ')
    [ "$listed" = "$3 " ] || fail "$1 holds: $listed; expected: $3"
}

# in_order ARCHIVE NAMES: the member NAMES, one a line, are in name order,
# none twice.
in_order() {
    [ "$2" = "$(printf '%s\n' "$2" | sort -u)" ] || fail "$1: members not in name order, or one twice"
}

# tar_members ARCHIVE MEMBERS: members are in name order, owned by root,
# each a directory or program of mode 0755 or another file of mode 0644.
tar_members() {
    in_order "$1" "$(printf '%s\n' "$2" | cut -d ' ' -f 4)"
    odd=$(printf '%s\n' "$2" | grep -v -E '^(drwxr-xr-x|-rwxr-xr-x|-rw-r--r--) root/root ')
    [ -z "$odd" ] || fail "$1: members not owned by root with mode 0755 or 0644: $odd"
}

for build in "$@"; do
    load_settings "$build"
    epoch=${SOURCE_DATE_EPOCH:-$(release_epoch)}
    if [ -f "$build/greet.exe" ]; then
        expected=greet-$version-windows-x86_64.zip
    else
        case $(readelf -h "$build/greet" | sed -n 's/^ *Machine: *//p') in
        'Advanced Micro Devices X86-64') machine=x86_64 arch=amd64 ;;
        AArch64) machine=aarch64 arch=arm64 ;;
        'IBM S/390') machine=s390x arch=s390x ;;
        *) machine=unknown arch=unknown ;;
        esac
        expected=greet-$version-linux-$machine.tar.gz
        # A Debian machine makes the .deb too.
        if command -v dpkg >/dev/null; then expected="$expected greet_${version}_$arch.deb"; fi
    fi
    if [ -z "$sources" ]; then
        sources=greet-$version.tar.gz
        expected="$expected $sources"
    fi
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
        case $file in
        "$sources")
            listing=$(members "$archive")
            tar_members "$file" "$listing"
            # The files git tracks; what the working tree lacks is the sources case's.
            holds "$file" "$(printf '%s\n' "$listing" | cut -d ' ' -f 4 | sed "s|^${file%.tar.gz}/||")" \
                "$(git -C "$source_dir" -c safe.directory="$source_dir" ls-files | sort | tr '\n' ' ' | sed 's/ $//')"
            ;;
        *.tar.gz)
            top=${file%.tar.gz}
            doc=share/doc/greet
            listing=$(members "$archive")
            tar_members "$file" "$listing"
            holds "$file" "$(printf '%s\n' "$listing" | cut -d ' ' -f 4)" \
                "$top/bin/greet $top/$doc/LICENSE $top/$doc/NEWS.md $top/$doc/README.md $top/share/man/man1/greet.1.gz"
            ;;
        *.deb)
            doc=usr/share/doc/greet
            dpkg-deb --fsys-tarfile "$archive" >"$tmp/data.tar" || fail "$file: no data"
            listing=$(members "$tmp/data.tar")
            tar_members "$file" "$listing"
            holds "$file" "$(printf '%s\n' "$listing" | cut -d ' ' -f 4)" \
                "usr/bin/greet $doc/README.md $doc/changelog.gz $doc/copyright usr/share/man/man1/greet.1.gz"
            # Installed-Size as dpkg-gencontrol counts the files unpacked.
            dpkg-deb -x "$archive" "$tmp/root" || fail "$file: cannot unpack"
            printf 'Source: greet\nSection: x\nMaintainer: x <x@example.org>\n\nPackage: greet\nArchitecture: any\nDescription: x\n' >"$tmp/control"
            printf 'greet (%s) unstable; urgency=medium\n\n  * x\n\n -- x <x@example.org>  %s\n' "$version" \
                'Thu, 01 Jan 1970 00:00:00 +0000' >"$tmp/changelog"
            counted=$(DEB_HOST_ARCH=$arch dpkg-gencontrol -c"$tmp/control" -l"$tmp/changelog" -P"$tmp/root" -O |
                sed -n 's/^Installed-Size: //p')
            rm -rf "$tmp/root"
            [ "$(dpkg-deb -f "$archive" Installed-Size)" = "${counted:-none}" ] ||
                fail "$file: Installed-Size is not $counted, as dpkg-gencontrol counts"
            fields=$(dpkg-deb -f "$archive" Package Architecture Maintainer Section Priority)
            [ "$fields" = "Package: greet
Architecture: $arch
Maintainer: greet maintainers <maintainers@users.noreply.c-seed-45fc0ef8.example>
Section: utils
Priority: optional" ] || fail "$file: fields: $fields"
            dpkg-deb -f "$archive" Depends | grep -q '^libc6 (>= ' || fail "$file: no libc6 dependency"
            # Every tag that lintian knows, down to the pedantic ones.
            tags=$(lintian --pedantic -I -E --color never "$archive" 2>/dev/null) || fail "$file: lintian failed"
            [ -z "$tags" ] || fail "$file: lintian: $tags"
            ;;
        *.zip)
            top=${file%.zip}
            listing=$("$cmake" -E tar tf "$archive")
            in_order "$file" "$listing"
            holds "$file" "$listing" "$top/COPYING.MinGW-w64-runtime.txt $top/LICENSE.txt $top/NEWS.md \
$top/README.md $top/bin/greet.exe"
            # zipinfo's second letter of the type is x or X for a member with
            # extra fields (owners, more times), which zip -X leaves out.
            rows=$(unzip -Z "$archive" | awk 'NF >= 9 && $1 ~ /^[-dl]/')
            [ "$(printf '%s\n' "$rows" | grep -c .)" = "$(printf '%s\n' "$listing" | grep -c .)" ] ||
                fail "$file: unzip -Z lists other members than: $listing"
            extra=$(printf '%s\n' "$rows" | awk '$5 ~ /^.[xX]/ { printf " %s", $NF }')
            [ -z "$extra" ] || fail "$file: members with extra fields:$extra"
            ;;
        esac
    done
done

[ -n "$names" ] || fail "no archive found in: $*"
passed && echo "checked:$names"
