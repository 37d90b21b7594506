#!/bin/sh
# SPDX-License-Identifier: MIT
# Checks the release archives that cpack made in the given build folders:
# that every archive the build promises is there, under a name no other
# archive has; that its checksum file verifies; that it holds exactly the
# expected files (the source archive: the files of the sources), in name
# order, owned by root with modes 0755 or 0644; and, for a .deb, its
# control fields, its Installed-Size and lintian's verdict. Archives are
# read with CMake's own tar, whatever tar is on PATH.
#
# usage: packages.sh BUILD_DIR...   (after cpack in each)
set -u
# shellcheck source=tests/common.sh
. "$(dirname "$0")/common.sh"
LC_ALL=C
export LC_ALL
tmp=$(mktemp -d) || exit 1
trap 'rm -rf "$tmp"' EXIT
names=

# members TAR: one line a member, "MODE OWNER/GROUP SIZE NAME".
members() {
    "$cmake" -E tar tvf "$1" | awk '{ print $1, $3 "/" $4, $5, $9 }'
}

# holds ARCHIVE NAMES EXPECTED: the member NAMES, one a line, directories
# and a leading ./ left out, are exactly EXPECTED.
holds() {
    listed=$(printf '%s\n' "$2" | grep -v '/$' | sed 's|^\./||' | sort | tr '\n' ' ')
    [ "$listed" = "$3 " ] || fail "$1 holds: $listed; expected: $3"
}

# tar_members ARCHIVE MEMBERS: members are in name order, owned by root,
# each a directory or program of mode 0755 or another file of mode 0644.
tar_members() {
    listed=$(printf '%s\n' "$2" | cut -d ' ' -f 4)
    [ "$listed" = "$(printf '%s\n' "$listed" | sort)" ] || fail "$1: members not in name order"
    odd=$(printf '%s\n' "$2" | grep -v -E '^(drwxr-xr-x|-rwxr-xr-x|-rw-r--r--) root/root ')
    [ -z "$odd" ] || fail "$1: members not owned by root with mode 0755 or 0644: $odd"
}

for build in "$@"; do
    load_settings "$build"
    for archive in $archives; do
        [ -f "$build/$archive" ] || fail "$build: cpack made no $archive"
    done
    for file in $archives $source_archive; do
        archive=$build/$file
        [ -f "$archive" ] || continue
        case " $names " in *" $file "*) fail "two archives are named $file" ;; esac
        names="$names $file"
        (cd "$build" && sha256sum --quiet --strict -c "$file.sha256") || fail "$file: checksum does not verify"
        case $file in
        "$source_archive")
            listing=$(members "$archive")
            tar_members "$file" "$listing"
            holds "$file" "$(printf '%s\n' "$listing" | cut -d ' ' -f 4 | sed "s|^${file%.tar.gz}/||")" \
                "$(source_files "$source_dir" | sort | tr '\n' ' ' | sed 's/ $//')"
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
            # As dpkg-gencontrol counts: each file's size rounded up to KiB,
            # and 1 KiB for each directory or link.
            kib=$(printf '%s\n' "$listing" |
                awk '/^[dl]/ { n += 1; next } { n += int(($3 + 1023) / 1024) } END { print n }')
            size=$(dpkg-deb -f "$archive" Installed-Size)
            [ "$size" = "$kib" ] || fail "$file: Installed-Size is $size, its files take $kib KiB"
            arch=${file##*_}
            [ "$(dpkg-deb -f "$archive" Architecture).deb" = "$arch" ] || fail "$file: Architecture is not ${arch%.deb}"
            dpkg-deb -f "$archive" Depends | grep -q '^libc6 (>= ' || fail "$file: no libc6 dependency"
            dpkg-deb -f "$archive" Maintainer | grep -q . || fail "$file: no maintainer"
            lintian --pedantic -I --fail-on error,warning "$archive" || fail "$file: lintian"
            ;;
        *.zip)
            top=${file%.zip}
            holds "$file" "$("$cmake" -E tar tf "$archive")" \
                "$top/LICENSE.txt $top/NEWS.md $top/README.md $top/bin/greet.exe"
            ;;
        esac
    done
done

[ -n "$names" ] || fail "no archive found in: $*"
passed && echo "checked:$names"
