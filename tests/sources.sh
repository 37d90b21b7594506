#!/bin/sh
# SPDX-FileCopyrightText: 2026 The greet authors
# SPDX-License-Identifier: MIT
#
# Which files make the sources, and that a source archive made in a git
# checkout is a commit: in a copy of the sources made a checkout of one
# commit, cpack packs a clean checkout, also one that another user owns,
# and refuses one whose tracked files differ from HEAD, or where git fails,
# leaving no source archive, old or new, and the binary archives alone. In
# sources without git, every file but those of any .git and of builds.
#
# usage: sources.sh CONFIG BUILD_DIR GREET
set -u
# shellcheck source=tests/common.sh
. "$(dirname "$0")/common.sh"
config=$1
load_settings "$2"
command -v git >/dev/null || skip "needs git (package git)"
[ -n "$gnu_tar" ] || skip "packaging needs GNU tar, as gtar or tar, when the build is configured"
tmp=$(mktemp -d) || exit 1
on_exit
src=$tmp/src
git() {
    command git -C "$src" -c user.name=greet -c user.email=greet@example.invalid "$@"
}
# listed: the files stage-sources.cmake names in $src, one a line.
listed() {
    "$cmake" -D "GREET_SOURCE_DIR=$src" -P "$source_dir/packaging/stage-sources.cmake" 2>&1
}
{ source_files "$source_dir" "$src" && git init -q && git add -A && git commit -q -m sources &&
    configure_rebuild "$src" "$tmp/build" -DBUILD_TESTING=OFF; } >"$tmp/log" 2>&1 || {
    cat "$tmp/log"
    exit 1
}
: >"$src/untracked"
[ "$(listed)" = "$(git ls-files)" ] || fail "a checkout's files are not those git tracks:" "$(listed)"
# Binary archives of the build, which a source run must not touch.
mkdir "$tmp/kept"
for file in $archives; do echo binary >"$tmp/kept/$file"; done
cp "$tmp/kept"/* "$tmp/build/"
packs "$tmp/build" --config CPackSourceConfig.cmake
[ -f "$tmp/build/$source_archive" ] || fail "a clean checkout gave no $source_archive"
echo edited >>"$src/README.md"
refused "$tmp/build" "$tmp/kept" " M README.md" --config CPackSourceConfig.cmake
git checkout -q README.md && git rm -q --cached LICENSE
refused "$tmp/build" "$tmp/kept" "D  LICENSE" --config CPackSourceConfig.cmake
git reset -q && rm "$src/NEWS.md"
refused "$tmp/build" "$tmp/kept" " D NEWS.md" --config CPackSourceConfig.cmake
git checkout -q NEWS.md
mkdir "$tmp/bin"
printf '#!/bin/sh\necho "git: planted failure" >&2\nexit 128\n' >"$tmp/bin/git"
chmod +x "$tmp/bin/git"
PATH=$tmp/bin:$PATH refused "$tmp/build" "$tmp/kept" "planted failure" --config CPackSourceConfig.cmake
# A checkout that another user owns, which git refuses unless told; only
# root can make one.
if [ "$(id -u)" -eq 0 ]; then
    chown -R 1234:1234 "$src"
    packs "$tmp/build" --config CPackSourceConfig.cmake
    [ -z "$(find "$src" ! -user 1234)" ] || fail "packing another user's checkout gave root files in it"
else
    echo "not root: the checkout is not given another owner"
fi
# Sources without git: every file, but those of any .git and of builds.
rm -rf "$src/.git"
mkdir -p "$src/sub/.git" "$src/build"
: >"$src/sub/.git/config"
: >"$src/build/CMakeCache.txt"
[ "$(listed)" = "$(cd "$src" && find . ! -type d | sed 's|^\./||' | grep -v -e '\.git/' -e '^build/' | sort)" ] ||
    fail "unpacked sources' files:" "$(listed)"

passed
