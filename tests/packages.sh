#!/bin/sh
# SPDX-License-Identifier: MIT
# Checks the release archives that cpack made in the given build folders:
# that every archive their generators promise is there, under a name no
# other archive has; that its checksum file verifies; that it holds exactly
# the expected files, in name order, owned by root with modes 0755 or 0644;
# and, for a .deb, its control fields and lintian's verdict.
#
# usage: packages.sh BUILD_DIR...   (after cpack in each)
set -u
LC_ALL=C
export LC_ALL
failures=0
names=

fail() {
    printf 'FAIL: %s\n' "$*"
    failures=$((failures + 1))
}

# holds ARCHIVE EXPECTED: the file names on standard input, directories and
# a leading ./ left out, are exactly EXPECTED.
holds() {
    listed=$(grep -v '/$' | sed 's|^\./||' | sort | tr '\n' ' ')
    [ "$listed" = "$2 " ] || fail "$1 holds: $listed; expected: $2"
}

# tar_listing ARCHIVE LISTING: a tar's verbose listing shows members in name
# order, owned by root, each a directory or program of mode 0755 or another
# file of mode 0644.
tar_listing() {
    names_in=$(printf '%s\n' "$2" | awk '{ print $6 }')
    [ "$names_in" = "$(printf '%s\n' "$names_in" | sort)" ] || fail "$1: members not in name order"
    odd=$(printf '%s\n' "$2" | grep -v -E '^(drwxr-xr-x|-rwxr-xr-x|-rw-r--r--) root/root ')
    [ -z "$odd" ] || fail "$1: members not owned by root with mode 0755 or 0644: $odd"
}

for build in "$@"; do
    cache=$build/CMakeCache.txt
    version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$cache")
    source=$(sed -n 's/^greet_SOURCE_DIR:STATIC=//p' "$cache")
    if [ -z "$version" ]; then
        fail "$build: not a configured build folder"
        continue
    fi
    generators=$(sed -n 's/^set(CPACK_GENERATOR "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")
    for generator in $(printf '%s' "$generators" | tr ';' ' '); do
        case $generator in TGZ) pattern="greet-$version-*.tar.gz" ;; DEB) pattern="greet_${version}_*.deb" ;;
        ZIP) pattern="greet-$version-*.zip" ;; *) continue ;; esac
        found=$(find "$build" -maxdepth 1 -name "$pattern" | head -n 1)
        [ -n "$found" ] || fail "$build: cpack made no $generator archive ($pattern)"
    done

    for archive in "$build"/greet-"$version"*.tar.gz "$build"/greet_"$version"_*.deb "$build"/greet-"$version"-*.zip; do
        [ -e "$archive" ] || continue
        file=${archive##*/}
        case " $names " in *" $file "*) fail "two archives are named $file" ;; esac
        names="$names $file"
        (cd "$build" && sha256sum --quiet --strict -c "$file.sha256") || fail "$file: checksum does not verify"
        case $file in
        greet-"$version".tar.gz)
            top=greet-$version
            listing=$(tar -tvzf "$archive")
            tar_listing "$file" "$listing"
            if [ "$(git -C "$source" rev-parse --show-toplevel 2>/dev/null)" = "$source" ]; then
                tar -tzf "$archive" | sed "s|^$top/||" |
                    holds "$file" "$(git -C "$source" ls-files | sort | tr '\n' ' ' | sed 's/ $//')"
            fi
            ;;
        *.tar.gz)
            top=${file%.tar.gz}
            doc=share/doc/greet
            listing=$(tar -tvzf "$archive")
            tar_listing "$file" "$listing"
            tar -tzf "$archive" | holds "$file" \
                "$top/bin/greet $top/$doc/LICENSE $top/$doc/NEWS.md $top/$doc/README.md $top/share/man/man1/greet.1.gz"
            ;;
        *.deb)
            doc=usr/share/doc/greet
            listing=$(dpkg-deb -c "$archive")
            tar_listing "$file" "$listing"
            printf '%s\n' "$listing" | awk '{ print $6 }' | holds "$file" \
                "usr/bin/greet $doc/README.md $doc/changelog.gz $doc/copyright usr/share/man/man1/greet.1.gz"
            arch=${file##*_}
            [ "$(dpkg-deb -f "$archive" Architecture).deb" = "$arch" ] || fail "$file: Architecture is not ${arch%.deb}"
            dpkg-deb -f "$archive" Depends | grep -q '^libc6 (>= ' || fail "$file: no libc6 dependency"
            dpkg-deb -f "$archive" Maintainer | grep -q . || fail "$file: no maintainer"
            lintian --pedantic -I --fail-on error,warning "$archive" || fail "$file: lintian"
            ;;
        *.zip)
            top=${file%.zip}
            cmake -E tar tf "$archive" | holds "$file" \
                "$top/LICENSE.txt $top/NEWS.md $top/README.md $top/bin/greet.exe"
            ;;
        esac
    done
done

[ -n "$names" ] || fail "no archive found in: $*"
[ "$failures" -eq 0 ] && echo "checked:$names"
