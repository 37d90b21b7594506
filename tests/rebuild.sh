#!/bin/sh
# SPDX-License-Identifier: MIT
# Checks the way from sources to release: a clean build of a copy of the
# sources gives the executable's bytes (reproducible); two packagings of two
# copies, apart in path, file dates, umask, time zone and locale, give the
# same archives, dated the release or a user's date; a -G is refused, and a
# packaging that fails (any tool it runs, a signing key) leaves no archive
# behind (archives); the files that make the
# sources (sources); the install's modes and man page (install). Each copy
# is configured as the build under test.
#
# usage: rebuild.sh reproducible|archives|sources|install CONFIG BUILD_DIR GREET
# CONFIG is the configuration under test, empty for a build without one.
set -u
# shellcheck source=tests/common.sh
. "$(dirname "$0")/common.sh"
case=$1 config=$2 build=$3 exe=$4
load_settings "$build"
case $case in reproducible | archives)
    if [ "$source_dir" = "$(cd "$build" && pwd -P)" ]; then
        skip "an in-source build cannot be copied apart from its sources"
    fi
    if instrumented "$exe"; then
        skip "a sanitizer records the source file's path in the executable, so a copy elsewhere differs"
    fi
    ;;
esac
tmp=$(mktemp -d) || exit 1
on_exit

# build_copy DIR: copies the sources into DIR/src, then configures them and
# builds CONFIG in DIR/build. build_copy_date, when set, dates every copied
# file (touch -t).
build_copy() {
    dir=$1
    mkdir -p "$dir" || return 1
    # Sources unpacked read-only would stay so in the copy, and not go away.
    if ! { source_files "$source_dir" "$dir/src" && chmod -R u+w "$dir/src" &&
        if [ -n "${build_copy_date:-}" ]; then find "$dir/src" -exec touch -h -t "$build_copy_date" {} +; fi &&
        configure_rebuild "$dir/src" "$dir/build" -DBUILD_TESTING=OFF &&
        "$cmake" --build "$dir/build" ${config:+--config "$config"}; } >"$dir/log" 2>&1; then
        cat "$dir/log"
        return 1
    fi
}

case $case in
reproducible)
    build_copy "$tmp/a" || exit 1
    cmp "$exe" "$tmp/a/build/${exe#"$build"/}" || fail "a second clean build gave different bytes"
    ;;
archives)
    case $archives in *.zip*) command -v zip >/dev/null || skip "the .zip needs zip (package zip)" ;; esac
    release=$(release_epoch)
    # package DIR: builds a copy of the sources in DIR and packages it.
    package() {
        build_copy "$1" || exit 1
        (cd "$1/build" && "$cpack" ${config:+-C "$config"} >>"$1/log" 2>&1) || {
            cat "$1/log"
            exit 1
        }
    }
    # refused DIR CAUSE [ARG...]: cpack with the ARGs failed in DIR/build,
    # said CAUSE, and left there no archive, checksum or signature, whole or
    # partial, of this run or an earlier one, and the source archive as it
    # was.
    refused() {
        dir=$1 cause=$2
        shift 2
        if (cd "$dir/build" && "$cpack" ${config:+-C "$config"} "$@" >"$dir/log" 2>&1); then
            fail "cpack $* made archives although it could not make or sign them"
        fi
        grep -q -- "$cause" "$dir/log" || fail "cpack did not say why it failed ($cause):" "$(cat "$dir/log")"
        for made in $archives; do
            left=$(ls "$dir/build/$made"* 2>/dev/null) && fail "a failed cpack $* left $left"
        done
        [ ! -e "$tmp/source.sha256" ] || (cd "$dir/build" && sha256sum --quiet -c "$tmp/source.sha256") ||
            fail "a failed cpack $* touched the source archive"
    }
    # in_cpack DIR ARG...: runs cpack in DIR/build, as configured.
    in_cpack() {
        dir=$1
        shift
        (cd "$dir/build" && "$cpack" ${config:+-C "$config"} "$@" >>"$dir/log" 2>&1) || fail "cpack $* failed"
    }
    # The packaging refuses a tar that is not GNU tar.
    tar=$(command -v gtar || command -v tar)
    if ! "$tar" --version 2>/dev/null | grep -q 'GNU tar'; then
        build_copy "$tmp/a" || exit 1
        refused "$tmp/a" "Packaging needs GNU tar"
        passed && skip "packaging needs GNU tar, as gtar or tar; $tar is not"
        exit 1
    fi
    (umask 022 && TZ=UTC0 LC_ALL=C package "$tmp/a") || exit 1
    # The other in a longer path, its files dated years back, under a
    # restrictive umask, another time zone and locale, at another time, with
    # the release date given as a user's SOURCE_DATE_EPOCH.
    (umask 077 && TZ=KST-9 LC_ALL=C.UTF-8 SOURCE_DATE_EPOCH=$release && sleep 1 &&
        export TZ LC_ALL SOURCE_DATE_EPOCH && build_copy_date=200101010000 package "$tmp/other/b") || exit 1
    # The build names every archive it made, and no other.
    # shellcheck disable=SC2012 # archive names hold no spaces
    made=$(cd "$tmp/a/build" && ls greet[-_]*[bpz] | tr '\n' ' ')
    [ "$made" = "$(printf '%s\n' "$archives" | tr ' ' '\n' | sort | tr '\n' ' ')" ] || fail "cpack made $made; the build names $archives"
    # Another generator would make other bytes: refused, changing nothing.
    if (cd "$tmp/a/build" && "$cpack" -G TGZ >"$tmp/a/log" 2>&1); then fail "cpack -G TGZ was not refused"; fi
    grep -q "cpack -G TGZ: greet" "$tmp/a/log" || fail "cpack -G TGZ did not say why it refused:" "$(cat "$tmp/a/log")"
    for archive in $archives; do
        cmp "$tmp/a/build/$archive" "$tmp/other/b/build/$archive" || fail "$archive differs between two packagings"
        dated "$tmp/a/build/$archive" "$release"
    done
    in_cpack "$tmp/a" --config CPackSourceConfig.cmake
    (cd "$tmp/a/build" && sha256sum "$source_archive" >"$tmp/source.sha256")
    # After a good signed packaging, each tool failing in turn, then a key
    # that gpg does not have; a run without a key leaves no signature.
    command -v gpg >/dev/null || skip "signing needs gpg (package gnupg); the rest passed"
    GNUPGHOME=$tmp/gnupg
    export GNUPGHOME
    mkdir -m 700 "$GNUPGHOME" "$tmp/bin"
    gpg --batch --quiet --passphrase '' --quick-gen-key 'greet test <test@example.invalid>' ed25519 sign never 2>/dev/null ||
        fail "gpg could not make a key"
    # GNU tar under the name packaging finds it by.
    case $archives in *.zip*) tools=zip ;; *.deb*) tools="${tar##*/} gzip dpkg-shlibdeps dpkg-gencontrol dpkg-deb" ;; *) tools="${tar##*/} gzip" ;; esac
    for tool in $tools gpg; do
        # shellcheck disable=SC2016 # expanded by the planted tool
        printf '#!/bin/sh\n[ "$1" != --version ] || exec %s "$@"\necho "%s: planted failure" >&2\nexit 1\n' \
            "$(command -v "$tool")" "$tool" >"$tmp/bin/$tool"
        chmod +x "$tmp/bin/$tool"
        GREET_SIGNING_KEY=test@example.invalid in_cpack "$tmp/a"
        GREET_SIGNING_KEY=test@example.invalid PATH=$tmp/bin:$PATH refused "$tmp/a" "$tool: planted failure"
        rm "$tmp/bin/$tool"
    done
    GREET_SIGNING_KEY=nobody@example.invalid refused "$tmp/a" "gpg could not sign"
    # Unsigned, with a user's date, which every member must carry.
    SOURCE_DATE_EPOCH=1000000000 in_cpack "$tmp/a"
    for archive in $archives; do
        dated "$tmp/a/build/$archive" 1000000000
        [ ! -e "$tmp/a/build/$archive.asc" ] || fail "an unsigned run left $archive.asc"
    done
    gpgconf --kill gpg-agent 2>/dev/null
    ;;
sources)
    command -v git >/dev/null || skip "needs git"
    [ -e "$source_dir/.git" ] || skip "needs the sources as a git checkout, to clone"
    # list DIR: the files source-files.cmake names in DIR, one a line.
    list() {
        "$cmake" -D "GREET_SOURCE_DIR=$1" -P "$source_dir/packaging/source-files.cmake"
    }
    git clone -q "$source_dir" "$tmp/checkout" || exit 1
    git -C "$tmp/checkout" ls-files | grep -v -x README.md | sort >"$tmp/expected"
    rm "$tmp/checkout/README.md"
    : >"$tmp/checkout/untracked"
    # A checkout that another user owns, which git refuses unless told;
    # only root can make one.
    if [ "$(id -u)" -eq 0 ]; then
        chown -R 1234:1234 "$tmp/checkout"
    else
        echo "not root: the checkout is not given another owner"
    fi
    list "$tmp/checkout" >"$tmp/listed" 2>&1
    cmp -s "$tmp/expected" "$tmp/listed" || fail "a checkout's files are not those git tracks and the tree holds:" \
        "$(diff "$tmp/expected" "$tmp/listed")"
    mkdir "$tmp/bin"
    printf '#!/bin/sh\necho "git: planted failure" >&2\nexit 128\n' >"$tmp/bin/git"
    chmod +x "$tmp/bin/git"
    if PATH=$tmp/bin:$PATH list "$tmp/checkout" >"$tmp/listed" 2>&1; then
        fail "listed a checkout that git could not read"
    fi
    grep -q "planted failure" "$tmp/listed" || fail "did not say why git failed: $(cat "$tmp/listed")"
    # Sources without git: every file, but those of any .git and of builds.
    rm -rf "$tmp/checkout/.git"
    mkdir -p "$tmp/checkout/sub/.git" "$tmp/checkout/build"
    : >"$tmp/checkout/sub/.git/config"
    : >"$tmp/checkout/build/CMakeCache.txt"
    (cd "$tmp/checkout" && find . ! -type d | sed 's|^\./||' | grep -v -e '\.git/' -e '^build/' | sort) >"$tmp/expected"
    list "$tmp/checkout" >"$tmp/listed" 2>&1
    cmp -s "$tmp/expected" "$tmp/listed" || fail "unpacked sources' files:" "$(diff "$tmp/expected" "$tmp/listed")"
    ;;
install)
    # Directories of mode 0755 under umask 077, the whole install with
    # DESTDIR and one component, and a man page that renders cleanly.
    for component in "" program; do
        dest=$tmp/dest$component
        if ! (umask 077 && DESTDIR=$dest "$cmake" --install "$build" --prefix /usr ${config:+--config "$config"} \
            ${component:+--component "$component"}) >"$tmp/log" 2>&1; then
            fail "install ${component:-of everything} failed: $(cat "$tmp/log")"
        fi
        [ -n "$(find "$dest" -name 'greet*' -type f -perm -u+x)" ] || fail "install ${component:-of everything}: no greet"
        odd=$(find "$dest" -type d ! -perm 755)
        [ -z "$odd" ] || fail "install ${component:-of everything}: directories not of mode 0755: $odd"
    done
    page=$tmp/dest/usr/share/man/man1/greet.1.gz
    if [ -f "$page" ]; then
        command -v man >/dev/null || skip "the man page's check needs man (package man-db); the rest passed"
        warnings=$(man --warnings -l "$page" 2>&1 >/dev/null)
        [ -z "$warnings" ] || fail "the man page does not render cleanly: $warnings"
    fi
    ;;
*)
    echo "usage: rebuild.sh reproducible|archives|sources|install CONFIG BUILD_DIR GREET" >&2
    exit 2
    ;;
esac

passed
