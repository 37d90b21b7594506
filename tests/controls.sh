#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The greet authors
# SPDX-License-Identifier: MIT
#
# The controls: faults planted one at a time, as real changes bring them,
# each with the check that must catch it, so that a check that can no
# longer fail (a tool's output changed, a comparison reads nothing, a case
# dropped out) fails here instead.
#   suite: in a copy of the sources, built as the calling build, each fault
#     whose check this build registers, then that case, which must fail
#     (a skip is no catch); the CTest case controls runs this.
#   release: after packaging/release.sh published dist/greet-VERSION, each
#     release-check fault in a copy of it, and each release fault in a
#     clone whose suites are taken as run, with the builds of build/.
#
# usage: controls.sh suite WHERE SOURCE_DIR CONFIGURE_ARG...  (WHERE: this
#        build's kinds, such as "all elf native")
#        controls.sh release   (from the checkout's root)
set -uo pipefail
# shellcheck source=tests/common.sh
. "$(dirname "$0")/common.sh"
# A count of its own, which no weakened helper of the checks can silence.
fail() { printf 'FAIL: %s\n' "$*" && failed=yes; }

# CHECK WHERE FAULT: WHERE names the builds whose suites hold CHECK (all,
# elf, windows, native), or "-" for the release; the fault is bash, run in
# the copy's root (release-check: in a copy of the release's folder, with
# the release's root at ../root and an empty folder ../d).
controls() {
    cat <<'EOF'
arguments all sed -i 's/^int main()$/int main(int argc, char **)/; s/return EXIT_SUCCESS;/return argc > 1 ? 2 : 0;/' src/greet.cpp
stdout-full all sed -i 's/return EXIT_FAILURE;/return EXIT_SUCCESS;/' src/greet.cpp
stdout-closed all sed -i 's/"greet: write error"/"greet: cannot write"/' src/greet.cpp
close-error native sed -i 's/ || std::fclose(stdout) == EOF//' src/greet.cpp
one-write native sed -i 's/^    if (std::puts(greeting)/    (void)std::setvbuf(stdout, nullptr, _IOLBF, BUFSIZ);\n&/' src/greet.cpp
documented all sed -i 's/B7 A1 B4 DE 21`/B7 A1 B4 DF 21`/' README.md
documented all sed -i 's/^The name 모래달 is/The name 모래달 is written/; s/^    30712, 모래달!$/    30712 모래달!/' README.md
documented all sed -i 's/output is 31 bytes/output is 32 bytes/; s/output is 29 bytes/output is 28 bytes/' README.md
documented all sed -i 's/`greet: write error: No space/`greet: write failed: No space/' README.md
documented all sed -i 's/^\.BR "B8 F0 B7 A1 B4 DE" \.$/.BR "B8 F0 B7 A1 B4 DF" ./' doc/greet.1.in
install all sed -i 's/GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)/& \n    file(CHMOD "${dir}" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_WRITE GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)/' CMakeLists.txt
elf-image elf sed -i 's/ "LINKER:-z,now"//' CMakeLists.txt
elf-image elf sed -i 's/^    if (std::puts(greeting)/    if (std::getenv("GREET") != nullptr) {\n        return 2;\n    }\n&/' src/greet.cpp
pe-image windows sed -i 's/^    if (std::puts(greeting)/    if (std::getenv("GREET") != nullptr) {\n        return 2;\n    }\n&/' src/greet.cpp
pe-image windows sed -i 's/ "LINKER:--no-insert-timestamp"//' CMakeLists.txt
pe-image windows sed -i 's/uiAccess="false"/uiAccess="true"/' src/greet.exe.manifest
pe-image windows sed -i 's/0x409, 1200/0x409, 1252/' src/greet.rc.in
pe-image windows sed -i 's/"@greet_copyright@"/""/' src/greet.rc.in
pe-image windows sed -i 's|<requestedPrivileges>|<activeCodePage xmlns="http://schemas.microsoft.com/SMI/2019/WindowsSettings">UTF-8</activeCodePage>\n&|' src/greet.exe.manifest
release-check - echo >>"greet-$v-windows-x86_64.zip"
release-check - : | gpg --batch --yes --armor --detach-sign >SHA256SUMS.asc
release-check - rm SHA256SUMS.asc
release-check - sed -i '/arm64/d' SHA256SUMS && sign
release-check - zip -q -d "greet-$v-windows-x86_64.zip" "greet-$v-windows-x86_64/NEWS.md" && resum
release-check - printf x >>../root/build/linux-arm64/greet
release-check - tar -xzf "greet-$v-linux-x86_64.tar.gz" -C ../d && tar -czf "greet-$v-linux-x86_64.tar.gz" -C ../d "greet-$v-linux-x86_64" && resum
release-check - dpkg-deb -R "greet_${v}_amd64.deb" ../d && sed -i /^Section/d ../d/DEBIAN/control && dpkg-deb --root-owner-group -b ../d "greet_${v}_amd64.deb" >/dev/null && resum
release-check - git -C ../root archive --prefix="greet-$v/" HEAD | gzip -9n >"greet-$v.tar.gz" && resum
release-check - git -C ../root -c tar.umask=022 archive --prefix="greet-$v/" HEAD~1 | gzip -9n >"greet-$v.tar.gz" && resum
release - echo edited >>README.md
release - mkdir -p "dist/greet-$v" && echo kept >"dist/greet-$v/SHA256SUMS"
release - plant cmake '[ "$1 $3" = "--workflow windows" ]'
release - mkdir -p dist/greet-0 && plant dpkg-deb
release - plant gpg '[ "$6" = --detach-sign ]'
EOF
}

# resum, sign: SHA256SUMS made anew for the archives as they are now, and
# signed, as a release with the fault would have them.
resum() { sha256sum greet* >SHA256SUMS && sign; }
sign() { gpg --batch --yes --armor --detach-sign SHA256SUMS; }

# plant TOOL [WHEN]: TOOL, from PATH, fails saying so (when WHEN holds);
# cmake --workflow otherwise passes at once, the suites taken as run.
plant() {
    real=$(command -v "$1")
    printf '#!/bin/sh\nif %s; then echo "%s: planted failure" >&2; exit 1; fi\n' "${2:-true}" "$1" >"bin/$1"
    # shellcheck disable=SC2016 # expanded by the planted tool
    printf '[ "%s $1" != "cmake --workflow" ] || exit 0\nexec %s "$@"\n' "$1" "$real" >>"bin/$1"
    chmod +x "bin/$1"
}

# caught CHECK FAULT STATUS LOG: the check failed, or the control fails.
caught() {
    if [ "$3" -eq 0 ]; then
        fail "$1 passed with a fault planted: $2" "$(cat "$4")"
    else
        printf 'caught by %s: %s\n    %s\n' "$1" "$2" "$(grep -m 1 -E '^(FAIL|release.sh:)' "$4" || head -n 1 "$4")"
    fi
}

make_tmp
n=0
case $1 in
suite)
    where=" $2 " src=$3
    shift 3
    # Everything but build and release folders, where the sources are.
    mkdir "$tmp/pristine"
    tar -C "$src" --exclude=./build --exclude=./dist --exclude=./.git -cf - . | tar -C "$tmp/pristine" -xf -
    cp -R "$tmp/pristine" "$tmp/src"
    if ! { cmake -S "$tmp/src" -B "$tmp/build" "$@" && cmake --build "$tmp/build"; } >"$tmp/log" 2>&1; then
        cat "$tmp/log"
        exit 1
    fi
    # A check that fails without a fault would catch every fault.
    env -u CI ctest --test-dir "$tmp/build" -E '^controls$' >"$tmp/log" 2>&1 || { cat "$tmp/log" && exit 1; }
    registered=" $(ctest --test-dir "$tmp/build" -N | sed -n 's/^ *Test *#[0-9]*: //p' | tr '\n' ' ')"
    for check in $registered; do
        case $check in controls | wine-prefix-*) ;; *) controls | grep -q "^$check " || fail "$check has no control" ;; esac
    done
    # A case that cannot run fails under CI=true rather than skip.
    [ "$(CI=true sh "$tmp/src/tests/output.sh" arguments lf missing emulator >/dev/null; echo $?)" = 1 ] ||
        fail "under CI=true, a case that cannot run did not fail"
    while read -r check at fault; do
        case $where in *" $at "*) ;; *) continue ;; esac
        case $registered in *" $check "*) ;; *) fail "$check, which a control needs, is not registered" && continue ;; esac
        n=$((n + 1))
        (cd "$tmp/src" && eval "$fault") || fail "could not plant: $fault"
        if cmake --build "$tmp/build" >"$tmp/log" 2>&1; then
            env -u CI ctest --test-dir "$tmp/build" -R "^$check\$" --output-on-failure >"$tmp/log" 2>&1
            caught "$check" "$fault" $? "$tmp/log"
        else
            fail "the build failed with a fault planted for $check: $fault" "$(cat "$tmp/log")"
        fi
        # Back to the sources as they were, the changed files rebuilt.
        (cd "$tmp/pristine" && find . -type f) | while read -r file; do
            cmp -s "$tmp/pristine/$file" "$tmp/src/$file" || cp "$tmp/pristine/$file" "$tmp/src/$file"
        done
    done < <(controls)
    ;;
release)
    [ -n "${GREET_SIGNING_KEY:-}" ] || { echo "controls.sh release: the release must be signed (GREET_SIGNING_KEY)" >&2 && exit 2; }
    v=$(sed -n 's/^  VERSION \([0-9.]*\)$/\1/p' CMakeLists.txt)
    root=$PWD
    # The release's date, as its x86-64 .tar.gz holds it.
    SOURCE_DATE_EPOCH=$(date -u -d "$(tar --utc --full-time -tvzf "dist/greet-$v/greet-$v-linux-x86_64.tar.gz" |
        awk 'NR == 1 { print $4, $5 }')" +%s) || exit 1
    export SOURCE_DATE_EPOCH
    sh tests/release-check.sh "dist/greet-$v" "$v" >"$tmp/log" 2>&1 || { cat "$tmp/log" && exit 1; }
    # A root for release-check.sh, with the tested executables to judge by;
    # a clone for release.sh, which packs the builds of build/.
    mkdir "$tmp/root"
    cp -R --parents tests build/default/greet build/linux-arm64/greet build/windows/greet.exe "$tmp/root/" || exit 1
    ln -s "$root/.git" "$tmp/root/.git"
    git clone -q "$root" "$tmp/clone" && mkdir "$tmp/clone/build" && ln -s "$root"/build/* "$tmp/clone/build/" || exit 1
    dist_state() {
        cd "$tmp/clone" && find dist -exec stat -c '%n %A %y' {} + 2>/dev/null | sort && find dist -type f -exec sha256sum {} + 2>/dev/null
    }
    while read -r check _ fault; do
        n=$((n + 1))
        case $check in
        release-check)
            rm -rf "$tmp/release" "$tmp/d" && mkdir "$tmp/d" && cp -R "dist/greet-$v" "$tmp/release" &&
                cp "build/linux-arm64/greet" "$tmp/root/build/linux-arm64/greet" || exit 1
            (cd "$tmp/release" && eval "$fault") || fail "could not plant: $fault"
            sh "$tmp/root/tests/release-check.sh" "$tmp/release" "$v" >"$tmp/log" 2>&1
            caught "$check" "$fault" $? "$tmp/log"
            ;;
        release)
            rm -rf "$tmp/clone/bin" "$tmp/clone/dist"
            git -C "$tmp/clone" checkout -q .
            mkdir "$tmp/clone/bin"
            (cd "$tmp/clone" && plant cmake false && eval "$fault") || fail "could not plant: $fault"
            before=$(dist_state)
            (cd "$tmp/clone" && PATH=$tmp/clone/bin:$PATH bash packaging/release.sh) >"$tmp/log" 2>&1
            caught "$check" "$fault" $? "$tmp/log"
            [ "$before" = "$(dist_state)" ] || fail "a failed release changed dist/: $fault"
            ;;
        esac
    done < <(controls | grep -E '^release(-check)? ')
    ;;
esac
[ "$n" -gt 0 ] || fail "no control applies"
[ -z "${failed:-}" ] && echo "controls: $n faults planted, each caught"
