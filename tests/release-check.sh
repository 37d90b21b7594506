#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The greet authors
# SPDX-License-Identifier: MIT
#
# The release check, run by packaging/release.sh on a release before it is
# published: the files a release holds, its checksums and signature checked
# as README.md tells users to, each archive's members against one list,
# each archived executable against the one its suite tested in build/, the
# source archive against HEAD, and lintian's silence on the .deb files.
#
# usage: release-check.sh DIR VERSION   (SOURCE_DATE_EPOCH: the release's
#        date; GREET_SIGNING_KEY set: SHA256SUMS must be signed)
set -u
# shellcheck source=tests/common.sh
. "$(dirname "$0")/common.sh"
dir=$1 v=$2
root=$(cd "$(dirname "$0")/.." && pwd)
export LC_ALL=C
make_tmp

# Each archive's members, as "KIND MODE OWNER DATE NAME", TOP its top folder.
members() {
    cat <<'EOF'
tar.gz drwxr-xr-x 0/0 DATE TOP/
tar.gz drwxr-xr-x 0/0 DATE TOP/bin/
tar.gz -rwxr-xr-x 0/0 DATE TOP/bin/greet
tar.gz drwxr-xr-x 0/0 DATE TOP/share/
tar.gz drwxr-xr-x 0/0 DATE TOP/share/doc/
tar.gz drwxr-xr-x 0/0 DATE TOP/share/doc/greet/
tar.gz -rw-r--r-- 0/0 DATE TOP/share/doc/greet/LICENSE
tar.gz -rw-r--r-- 0/0 DATE TOP/share/doc/greet/NEWS.md
tar.gz -rw-r--r-- 0/0 DATE TOP/share/doc/greet/README.md
tar.gz drwxr-xr-x 0/0 DATE TOP/share/man/
tar.gz drwxr-xr-x 0/0 DATE TOP/share/man/man1/
tar.gz -rw-r--r-- 0/0 DATE TOP/share/man/man1/greet.1.gz
deb drwxr-xr-x root/root DATE ./
deb drwxr-xr-x root/root DATE ./usr/
deb drwxr-xr-x root/root DATE ./usr/bin/
deb -rwxr-xr-x root/root DATE ./usr/bin/greet
deb drwxr-xr-x root/root DATE ./usr/share/
deb drwxr-xr-x root/root DATE ./usr/share/doc/
deb drwxr-xr-x root/root DATE ./usr/share/doc/greet/
deb -rw-r--r-- root/root DATE ./usr/share/doc/greet/README.md
deb -rw-r--r-- root/root DATE ./usr/share/doc/greet/changelog.gz
deb -rw-r--r-- root/root DATE ./usr/share/doc/greet/copyright
deb drwxr-xr-x root/root DATE ./usr/share/man/
deb drwxr-xr-x root/root DATE ./usr/share/man/man1/
deb -rw-r--r-- root/root DATE ./usr/share/man/man1/greet.1.gz
zip drwxr-xr-x - DATE TOP/
zip -rw-r--r-- - DATE TOP/COPYING.MinGW-w64-runtime.txt
zip -rw-r--r-- - DATE TOP/LICENSE.txt
zip -rw-r--r-- - DATE TOP/NEWS.md
zip -rw-r--r-- - DATE TOP/README.md
zip drwxr-xr-x - DATE TOP/bin/
zip -rwxr-xr-x - DATE TOP/bin/greet.exe
EOF
}

names="greet-$v-linux-aarch64.tar.gz greet-$v-linux-x86_64.tar.gz greet-$v-windows-x86_64.zip"
[ ! -e "$root/.git" ] || names="$names greet-$v.tar.gz"
names="$names greet_${v}_amd64.deb greet_${v}_arm64.deb"
signature=${GREET_SIGNING_KEY:+SHA256SUMS.asc}
held=$(cd "$dir" && echo *)
[ "$held" = "SHA256SUMS ${signature:+$signature }$names" ] || fail "the release holds: $held"
[ "$(cut -c 67- "$dir/SHA256SUMS" | tr '\n' ' ')" = "$names " ] || fail "SHA256SUMS does not list every archive"
(cd "$dir" && sha256sum --quiet -c --ignore-missing SHA256SUMS) || fail "a checksum does not verify"
if [ -n "$signature" ]; then
    gpg --batch --verify "$dir/SHA256SUMS.asc" "$dir/SHA256SUMS" 2>"$tmp/gpg" || fail "SHA256SUMS.asc:" "$(cat "$tmp/gpg")"
fi

for name in $names; do
    archive=$dir/$name top=${name%.tar.gz}
    top=${top%.zip}
    date=$(date -u -d "@$SOURCE_DATE_EPOCH" +%Y-%m-%dT%H:%M:%S)
    case $name in
    *x86_64.tar.gz) tested=$root/build/static/greet ;;
    *aarch64.tar.gz) tested=$root/build/linux-arm64-static/greet ;;
    *amd64.deb) tested=$root/build/default/greet ;;
    *arm64.deb) tested=$root/build/linux-arm64/greet ;;
    *.zip) tested=$root/build/windows/greet.exe ;;
    esac
    case $name in
    "greet-$v.tar.gz")
        [ "$(gzip -dc "$archive" | git get-tar-commit-id)" = "$(git -C "$root" rev-parse HEAD)" ] ||
            fail "$name does not name HEAD's commit"
        modes=$(tar -tvzf "$archive" | awk '{ print $1, $2 }' | sort -u | tr '\n' ' ')
        [ "$modes" = "-rw-r--r-- root/root -rwxr-xr-x root/root drwxr-xr-x root/root lrwxrwxrwx root/root " ] ||
            fail "$name: members' modes and owners: $modes"
        continue
        ;;
    *.tar.gz)
        kind=tar.gz
        tar --utc --full-time -tvzf "$archive" | awk '{ print $1, $2, $4 "T" $5, $6 }' >"$tmp/list"
        tar -xOzf "$archive" "$top/bin/greet" >"$tmp/exe"
        ;;
    *.deb)
        kind=deb
        dpkg-deb --fsys-tarfile "$archive" | tar --utc --full-time -tvf - | awk '{ print $1, $2, $4 "T" $5, $6 }' >"$tmp/list"
        dpkg-deb --fsys-tarfile "$archive" | tar -xOf - ./usr/bin/greet >"$tmp/exe"
        if ! tags=$(lintian --pedantic -I -E --color never "$archive" 2>/dev/null) || [ -n "$tags" ]; then
            fail "$name: lintian: $tags"
        fi
        ;;
    *.zip)
        # DOS times step by 2 seconds. In an owner's place, zipinfo's "-":
        # no extra fields (owners, more times), as zip -X makes members.
        kind=zip
        date=$(date -u -d "@$((SOURCE_DATE_EPOCH - SOURCE_DATE_EPOCH % 2))" +%Y%m%d.%H%M%S)
        unzip -Z -T "$archive" | awk 'NF >= 8 && $1 ~ /^[-dl]/ { print $1, substr($5, 2), $7, $NF }' >"$tmp/list"
        unzip -p "$archive" "$top/bin/greet.exe" >"$tmp/exe"
        ;;
    esac
    sed "s| $date | DATE |; s| $top/| TOP/|" "$tmp/list" >"$tmp/got"
    members | sed -n "s/^$kind //p" >"$tmp/expected"
    diff "$tmp/expected" "$tmp/got" >"$tmp/diff" || fail "$name: members (expected, got):" "$(cat "$tmp/diff")"
    if [ ! -s "$tmp/exe" ] || ! cmp -s "$tmp/exe" "$tested"; then
        fail "$name: the executable is not the one tested in ${tested#"$root"/}"
    fi
done

passed && echo "release check passed: $names${signature:+ $signature}"
