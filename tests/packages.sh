#!/bin/sh
# SPDX-License-Identifier: MIT
# Checks the release archives that cpack made in the given build folders:
# that every archive the build promises is there, under a name no other
# archive has; that its checksum file and its signature, if any, verify;
# that it holds exactly the expected files (the source archive: the files
# git tracks, or in sources without git those of the folder), each once, in
# name order, owned by root with modes 0755 or 0644, dated SOURCE_DATE_EPOCH
# when set, else midnight UTC of the newest release in NEWS.md; a .zip's
# members with no extra fields; and, for a .deb, its control fields, its
# Installed-Size and lintian's verdict. Archives are read with CMake's own
# tar, whatever tar is on PATH.
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

# in_order ARCHIVE NAMES: the member NAMES, one a line, are in name order,
# none twice.
in_order() {
    [ "$2" = "$(printf '%s\n' "$2" | sort -u)" ] || fail "$1: members not in name order, or one twice"
}

# source_list: the files of the sources: those git tracks and the working
# tree holds, or, where the sources are no checkout, every file but those of
# build folders and .git.
source_list() {
    if [ -e "$source_dir/.git" ]; then
        git -C "$source_dir" -c safe.directory="$source_dir" ls-files | while IFS= read -r file; do
            if [ -e "$source_dir/$file" ] || [ -L "$source_dir/$file" ]; then echo "$file"; fi
        done
    else
        (cd "$source_dir" && find . -name .git -prune -o -exec test -f {}/CMakeCache.txt \; -prune \
            -o ! -type d -print) | sed 's|^\./||'
    fi
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
    epoch=${SOURCE_DATE_EPOCH:-$(date -u -d "$(sed -n 's/^## [^ ]* (\([0-9-]*\))$/\1/p' \
        "$source_dir/NEWS.md" | head -n 1)" +%s)}
    for archive in $archives; do
        [ -f "$build/$archive" ] || fail "$build: cpack made no $archive"
    done
    for file in $archives $source_archive; do
        archive=$build/$file
        [ -f "$archive" ] || continue
        case " $names " in *" $file "*) fail "two archives are named $file" ;; esac
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
        "$source_archive")
            listing=$(members "$archive")
            tar_members "$file" "$listing"
            holds "$file" "$(printf '%s\n' "$listing" | cut -d ' ' -f 4 | sed "s|^${file%.tar.gz}/||")" \
                "$(source_list | sort | tr '\n' ' ' | sed 's/ $//')"
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
                awk '$4 == "./" { next } /^[dl]/ { n += 1; next } { n += int(($3 + 1023) / 1024) } END { print n }')
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
            listing=$("$cmake" -E tar tf "$archive")
            in_order "$file" "$listing"
            holds "$file" "$listing" "$top/COPYING.MinGW-w64-runtime.txt $top/LICENSE.txt $top/NEWS.md \
$top/README.md $top/bin/greet.exe"
            # zipinfo's second letter of the type is x or X for a member with
            # extra fields (owners, more times), which zip -X leaves out.
            command -v unzip >/dev/null || fail "$file: reading its members' fields needs unzip"
            extra=$(unzip -Z "$archive" | awk 'NF >= 9 && $5 ~ /^.[xX]/ { printf " %s", $NF }')
            [ -z "$extra" ] || fail "$file: members with extra fields:$extra"
            ;;
        esac
    done
done

[ -n "$names" ] || fail "no archive found in: $*"
passed && echo "checked:$names"
