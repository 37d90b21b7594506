#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The greet authors
# SPDX-License-Identifier: MIT
#
# The release command, run from the root of a checkout of a commit, or of
# sources unpacked from its source archive, on Debian 12, 13 or sid
# (HACKING.md has the rules it keeps). It builds and tests each released
# target in its preset's build folder, packs what that suite tested, checks
# the result as users will, and publishes it by one rename to
# dist/greet-VERSION/. A failure anywhere publishes nothing.
#
# usage: packaging/release.sh   (GREET_SIGNING_KEY=KEY signs SHA256SUMS)
#        packaging/release.sh --version   (prints the version it releases)
set -eEuo pipefail
cd "$(dirname "$0")/.."
version=$(sed -n 's/^  VERSION \([0-9.]*\)$/\1/p' CMakeLists.txt)
[ "${1:-}" != --version ] || { echo "$version" && exit 0; }
# The builds and archives see nothing of the caller's environment (CMake's,
# CTest's, the compilers', tar's, gzip's, zip's, xz's and dpkg's variables
# among it) but where the tools and the signing key are, and the date.
if [ -z "${GREET_RELEASE_ENV:-}" ]; then
    keep=(GREET_RELEASE_ENV=1 PATH="$PATH" LC_ALL=C.UTF-8 TZ=UTC0)
    for name in HOME GREET_SIGNING_KEY GNUPGHOME SOURCE_DATE_EPOCH TMPDIR; do
        [ -z "${!name+set}" ] || keep+=("$name=${!name}")
    done
    exec env -i "${keep[@]}" bash packaging/release.sh
fi
what=start
trap 'echo "release.sh: failed: $what" >&2' ERR
step() {
    what=$*
    echo "== release: $what"
}

release=greet-$version dist=dist/greet-$version
# Filled in by git archive (.gitattributes): the commit and its time.
# shellcheck disable=SC2016
archived='$Format:%H %ct$'
if [ -e .git ]; then
    step "the checkout is a commit"
    changed=$(git status --porcelain --untracked-files=no)
    if [ -n "$changed" ]; then
        printf 'release.sh: these tracked files differ from HEAD; commit them, or put them back (git stash):\n%s\n' \
            "$changed" >&2
        exit 1
    fi
    archived=$(git log -1 --format='%H %ct')
elif [ "${archived#\$}" != "$archived" ]; then
    echo "release.sh: $PWD is neither a git checkout nor sources unpacked from a source archive" >&2
    exit 1
fi
commit=${archived% *}
# The commit's time dates every archive, unless the caller's date wins.
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-${archived#* }}
refuse_existing() {
    if [ -e "$dist" ]; then
        echo "release.sh: $dist exists, and a release is never overwritten; move it away first" >&2
        exit 1
    fi
}
refuse_existing

# The release is made beside dist/, on its filesystem, so that a failure
# leaves dist/ untouched and success is one rename.
work=$(mktemp -d)
out=$(mktemp -d ".$release.XXXXXX")
cleanup() {
    rm -rf "$work" "${out:-}"
}
trap cleanup EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM

# Each suite runs every case, its controls included: one that would skip
# fails instead. The .tar.gz files take the static builds, the .deb files
# the dynamic ones that Debian's C library serves.
for preset in default static windows linux-arm64 linux-arm64-static; do
    step "build and test $preset"
    CI=true cmake --workflow --preset "$preset" --fresh | tee "$work/log"
    grep -q -E 'Test +#[0-9]+: controls \.+ +Passed' "$work/log" || {
        echo "release.sh: the suite of $preset did not pass its controls" >&2
        exit 1
    }
done

# tree DIR EPOCH: folders and programs 0755, other files 0644, all dated
# EPOCH, whatever the umask and the files' own times.
tree() {
    chmod -R u=rwX,go=rX "$1"
    find "$1" -exec touch -h -d "@$2" {} +
}

if [ -e .git ]; then
    step "source archive $release.tar.gz"
    git -c tar.umask=022 archive --format=tar --prefix="$release/" HEAD | gzip -9n >"$out/$release.tar.gz"
fi

# The .deb's change log is NEWS.md's newest entry; its copyright file is
# LICENSE in Debian's format.
maintainer=$(sed -n 's/^Maintainer: //p' packaging/control)
date=$(sed -n "s/^## $version (\(.*\))$/\1/p" NEWS.md)
mkdir "$work/debian"
cp packaging/control "$work/debian/control"
{
    printf 'greet (%s) unstable; urgency=medium\n\n' "$version"
    awk -v head="## $version (" 'index($0, head) == 1 { on = 1; next } /^## / { on = 0 } on && NF' NEWS.md |
        sed 's/^- /  * /; s/^  \([^*]\)/    \1/'
    printf '\n -- %s  %s\n' "$maintainer" "$(date -u -R -d "$date")"
} >"$work/debian/changelog"
{
    printf 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n'
    printf 'Upstream-Name: greet\nUpstream-Contact: %s\n\nFiles: *\n' "$maintainer"
    sed -n 's/^Copyright (c) /Copyright: /p' LICENSE
    printf 'License: Expat\n'
    sed '1,/^Copyright (c) /d' LICENSE | sed '/./,$!d; s/^$/./; s/^/ /'
} >"$work/copyright"

# deb PRESET ARCH: the package as Debian's own tools make it.
deb() {
    step "the .deb of $1"
    root=$work/deb
    DESTDIR=$root cmake --install "build/$1" --prefix /usr --component program >/dev/null
    doc=$root/usr/share/doc/greet
    gzip -9n <"$work/debian/changelog" >"$doc/changelog.gz"
    cp "$work/copyright" "$doc/"
    mkdir "$root/DEBIAN"
    (cd "$work" && export DEB_HOST_ARCH="$2" && dpkg-shlibdeps -e"$root/usr/bin/greet" && dpkg-gencontrol -P"$root")
    (cd "$root" && find usr -type f | sort | xargs md5sum) >"$root/DEBIAN/md5sums"
    tree "$root" "$SOURCE_DATE_EPOCH"
    dpkg-deb --root-owner-group -Zxz --build "$root" "$out/greet_${version}_$2.deb" >/dev/null
    rm -rf "$root" "$work/debian/substvars"
}

deb default amd64
deb linux-arm64 arm64
for target in static:linux-x86_64 linux-arm64-static:linux-aarch64 windows:windows-x86_64; do
    IFS=: read -r preset platform <<<"$target"
    top=$release-$platform
    step "archives of $preset"
    cmake --install "build/$preset" --prefix "$work/$top" >/dev/null
    if [ "$preset" = windows ]; then
        # A .zip stores local time, in steps of 2 seconds: in UTC, an odd
        # second rounded down.
        tree "$work/$top" $((SOURCE_DATE_EPOCH - SOURCE_DATE_EPOCH % 2))
        (cd "$work" && find "$top" | sort | zip -X -9 -q -@ "$OLDPWD/$out/$top.zip")
    else
        tar --create --format=gnu --sort=name --owner=0 --group=0 --numeric-owner --mode=u=rwX,go=rX \
            --mtime="@$SOURCE_DATE_EPOCH" -C "$work" "$top" | gzip -9n >"$out/$top.tar.gz"
    fi
    rm -rf "${work:?}/$top"
done

step "SHA256SUMS"
(cd "$out" && sha256sum greet* >SHA256SUMS)
if [ -n "${GREET_SIGNING_KEY:-}" ]; then
    step "signing SHA256SUMS with $GREET_SIGNING_KEY"
    gpg --batch --yes --armor --local-user "$GREET_SIGNING_KEY" --detach-sign "$out/SHA256SUMS"
fi
step "release check"
bash tests/release-check.sh "$out" "$version"

step "publishing $dist"
chmod -R u=rwX,go=rX "$out"
refuse_existing
mkdir -p dist
mv -T "$out" "$dist"
echo "== released $dist from commit $commit"
[ ! -e .git ] || echo "== now tag that commit: git tag -s v$version $commit"
