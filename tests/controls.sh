#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The greet authors
# SPDX-License-Identifier: MIT
#
# The controls: faults planted as real changes bring them, each with the
# checks that must catch it, and every assertion of the checks (each fail
# or expect in tests/*.sh) reached by one of them, so that a check that can
# no longer fail (a tool's output changed, a comparison reads nothing, a
# case or a control dropped out) fails here instead.
#   suite: in a copy of the sources, configured as the calling build, each
#     fault for this kind of build, then its cases, which must fail (a skip
#     is no catch); the CTest case controls runs this.
#   release: after packaging/release.sh published dist/greet-VERSION, each
#     release-check fault in a copy of it, and each release fault in a
#     clone whose suites are taken as run, with the builds of build/.
#
# usage: controls.sh suite KINDS CONFIG SOURCE_DIR CONFIGURE_ARG...
#          (KINDS: this build's, such as "all;native;elf-image")
#        controls.sh release   (from the checkout's root)
set -uo pipefail
# shellcheck source=tests/common.sh
. "$(dirname "$0")/common.sh"
# A count of its own, which no weakened helper of the checks can silence.
fail() { printf 'FAIL: %s\n' "$*" && failed=yes; }

# KIND CASES FAULT: the fault applies to the builds of KIND (as the build
# names its kinds, or "-" for the release), and each of CASES must fail
# with it. The fault is bash, run in the copy's root (release-check: in a
# copy of the release's folder, with the release's root at ../root and an
# empty folder ../d). One fault may change several things whose checks
# cannot mask one another, so that one build serves them; faults that
# change only README.md and doc/ are judged without a build.
controls() {
    cat <<'EOF'
all documented sed -i 's/^\(| 1 | .*\) 21`/\1 22`/; s/^\(    [0-9][0-9]*\), /\1 /; s/output is \([0-9]*\) bytes/output is 1\1 bytes/; s/`greet: write error: /`greet: write failed: /; s/^| \([1-9]\) | \([^`]\)/| 9\1 | \2/' README.md
all documented sed -i 's/^\(\.BR ".*\) DE" \.$/\1 DF" ./; s/exactly \([0-9]*\) bytes/exactly 1\1 bytes/; s/^\([0-9][0-9]*\), /\1 /; s/"greet: write error: "/"greet: write failed: "/; s/^\.B \([1-9]\)$/.B 9\1/' doc/greet.1.in
all arguments,stdout-full,stdout-closed,install sed -i 's/^int main()$/int main(int argc, char **argv)/; s/#include <cstdlib>/&\n#include <cstring>/; s/^    if (std::puts(greeting)/    if (argc > 1 \&\& std::strcmp(argv[1], "-q") == 0) {\n        return 0;\n    }\n    if (argc > 1 \&\& std::strcmp(argv[1], "--version") == 0) {\n        std::fputs("greet 1\\n", stderr);\n        return 2;\n    }\n&/; s/return EXIT_FAILURE;/return EXIT_SUCCESS;/; s/"greet: write error"/"greet: cannot write"/' src/greet.cpp && sed -i 's/GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)/&\n    file(CHMOD "${dir}" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_WRITE GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)/; s/^install(TARGETS greet .*/&\ninstall(FILES LICENSE DESTINATION ${CMAKE_INSTALL_BINDIR})/' CMakeLists.txt && echo 'install(FILES missing DESTINATION .)' >>CMakeLists.txt
native close-error,one-write sed -i 's/ || std::fclose(stdout) == EOF//; s/^    if (std::puts(greeting)/    (void)std::setvbuf(stdout, nullptr, _IOLBF, BUFSIZ);\n&/' src/greet.cpp
elf-image elf-image sed -i 's/^    if (std::puts(greeting)/    if (std::getenv("GREET") != nullptr) {\n        return 2;\n    }\n&/' src/greet.cpp && sed -i 's/ "LINKER:-z,now"//; s/-z,noexecstack/-z,execstack/; s/"LINKER:-z,relro"/"LINKER:-z,norelro"/; s/--remove-section=.comment/--remove-section=.none/; s/"LINKER:--as-needed"/"LINKER:--no-as-needed" -lm/; s/POSITION_INDEPENDENT_CODE ON/POSITION_INDEPENDENT_CODE OFF/; s/:-static-pie>/:-static>/' CMakeLists.txt
static empty-root,elf-image sed -i 's/:-static-pie>/:>/' CMakeLists.txt
windows pe-image sed -i 's/^    if (std::puts(greeting)/    if (std::getenv("GREET") != nullptr) {\n        return 2;\n    }\n&/' src/greet.cpp && sed -i 's/-static -s/-static -mwindows -lucrt/; s/ "LINKER:--no-insert-timestamp"//; s/,--high-entropy-va/,--disable-high-entropy-va/' CMakeLists.txt && sed -i 's/uiAccess="false"/uiAccess="true"/; s|<requestedPrivileges>|<activeCodePage xmlns="http://schemas.microsoft.com/SMI/2019/WindowsSettings">UTF-8</activeCodePage>\n&|' src/greet.exe.manifest && sed -i 's/0x409, 1200/0x409, 1252/; s/"@greet_copyright@"/""/' src/greet.rc.in
- release-check echo >>"greet-$v-windows-x86_64.zip"
- release-check : | gpg --batch --yes --armor --detach-sign >SHA256SUMS.asc
- release-check rm SHA256SUMS.asc
- release-check sed -i '/arm64/d' SHA256SUMS && sign
- release-check zip -q -d "greet-$v-windows-x86_64.zip" "greet-$v-windows-x86_64/NEWS.md" && resum
- release-check printf x >>../root/build/linux-arm64/greet
- release-check tar -xzf "greet-$v-linux-x86_64.tar.gz" -C ../d && tar -czf "greet-$v-linux-x86_64.tar.gz" -C ../d "greet-$v-linux-x86_64" && resum
- release-check dpkg-deb -R "greet_${v}_amd64.deb" ../d && sed -i /^Section/d ../d/DEBIAN/control && dpkg-deb --root-owner-group -b ../d "greet_${v}_amd64.deb" >/dev/null && resum
- release-check git -C ../root archive --prefix="greet-$v/" HEAD | gzip -9n >"greet-$v.tar.gz" && resum
- release-check git -C ../root -c tar.umask=022 archive --prefix="greet-$v/" HEAD~1 | gzip -9n >"greet-$v.tar.gz" && resum
- release echo edited >>README.md
- release mkdir -p "dist/greet-$v" && echo kept >"dist/greet-$v/SHA256SUMS"
- release plant cmake '[ "$1 $3" = "--workflow windows" ]'
- release sed -i 's/controls \.\.\.   Passed/controls ...   ***Skipped/' bin/cmake
- release mkdir -p dist/greet-0 && plant dpkg-deb
- release plant gpg '[ "$6" = --detach-sign ]'
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
    printf '[ "%s $1" != "cmake --workflow" ] || { echo "1/1 Test #1: controls ...   Passed" && exit 0; }\nexec %s "$@"\n' \
        "$1" "$real" >>"bin/$1"
    chmod +x "bin/$1"
}

# caught CASE FAULT STATUS LOG: the case failed, or the control fails; the
# assertions it reached are noted.
caught() {
    [ "$3" -ne 0 ] || fail "$1 passed with a fault planted: $2" "$(cat "$4")"
    [ "$3" -eq 0 ] || printf 'caught by %s: %.70s...\n    %s\n' "$1" "$2" "$(grep -m 1 -E '^(FAIL|release.sh:)' "$4" || head -n 1 "$4")"
    grep -o -E '\[[a-z-]+\.sh:[0-9]+\]$' "$4" | tr -d '[]' >>"$tmp/reached"
}

# unreached SCRIPT...: each assertion of the scripts that no fault reached,
# where only the cases in $registered run (in a script's branch named for
# a case, or outside any branch of a script such a case runs).
unreached() {
    awk -v registered="$registered" '
        FNR == 1 { file = FILENAME; sub(/.*\//, "", file); branch = ""; runs[file] = index(registered, " " substr(file, 1, length(file) - 3) " ") }
        /^[a-z][a-z0-9-]*\)$/ { branch = substr($0, 1, length($0) - 1); runs[file] += index(registered, " " branch " ") }
        /^    ;;$/ { branch = "" }
        { line = $0; sub(/^[ \t]+/, "", line) }
        line !~ /^#/ && line ~ /(^|[;|&)] *)(fail|expect) ["$]/ { site[file ":" FNR] = branch; text[file ":" FNR] = line }
        END {
            while ((getline got < "'"$tmp/reached"'") > 0) reached[got] = 1
            for (s in site) {
                split(s, f, ":")
                b = site[s]
                if (b == "" ? runs[f[1]] : index(registered, " " b " "))
                    if (!(s in reached)) print s ": " text[s]
            }
        }' "$@" | sort
}

make_tmp
: >"$tmp/reached"
case $1 in
suite)
    kinds=" ${2//;/ } " config=$3 src=$4
    shift 4
    # Everything but build and release folders, where the sources are,
    # writable whatever the sources' modes.
    mkdir "$tmp/pristine"
    tar -C "$src" --exclude=./build --exclude=./dist --exclude=./.git -cf - . | tar -C "$tmp/pristine" -xf -
    chmod -R u+w "$tmp/pristine" && cp -R "$tmp/pristine" "$tmp/src" || exit 1
    if ! { cmake -S "$tmp/src" -B "$tmp/build" "$@" && cmake --build "$tmp/build" --config "$config"; } >"$tmp/log" 2>&1; then
        cat "$tmp/log"
        exit 1
    fi
    run() { env -u CI ctest --test-dir "$tmp/build" -C "$config" --output-on-failure "$@" >"$tmp/log" 2>&1; }
    registered=" $(run -N && sed -n 's/^ *Test *#[0-9]*: //p' "$tmp/log" | tr '\n' ' ')" ran=" controls wine-prefix-create wine-prefix-stop "
    # A case that cannot run fails under CI=true rather than skip.
    [ "$(CI=true bash "$tmp/src/tests/output.sh" arguments lf missing emulator >/dev/null; echo $?)" = 1 ] ||
        fail "under CI=true, a case that cannot run did not fail"
    # Wine's cases share one session, booted once for all the faults.
    case $registered in *" wine-prefix-create "*) run -R '^wine-prefix-create$' || { cat "$tmp/log" && exit 1; } ;; esac
    dirty=
    while read -r at cases fault; do
        case $kinds in *" $at "*) ;; *) continue ;; esac
        (cd "$tmp/src" && eval "$fault") || fail "could not plant: $fault"
        changed=$(cd "$tmp/pristine" && find . -type f | while read -r file; do
            cmp -s "$file" "$tmp/src/$file" || echo "$file"
        done)
        [ -n "$changed" ] || fail "the fault changes no file, so a pattern in it no longer matches: $fault"
        built=$(grep -v -E '^\./(README\.md|doc/)' <<<"$changed")
        if [ -n "$dirty$built" ]; then
            cmake --build "$tmp/build" --config "$config" >"$tmp/log" 2>&1 ||
                fail "the build failed with a fault planted for $cases: $fault" "$(cat "$tmp/log")"
            dirty=$built
        fi
        for check in ${cases//,/ }; do
            case $registered in *" $check "*) ;; *) fail "$check, which a control needs, is not registered" && continue ;; esac
            run -R "^$check\$" -FA '.*'
            caught "$check" "$fault" $? "$tmp/log"
            ran="$ran$check "
        done
        # Back to the sources as they were.
        for file in $changed; do cp "$tmp/pristine/$file" "$tmp/src/$file"; done
    done < <(controls)
    case $registered in *" wine-prefix-stop "*) run -R '^wine-prefix-stop$' ;; esac
    for check in $registered; do
        case $ran in *" $check "*) ;; *) fail "$check has no control for this build" ;; esac
    done
    missed=$(unreached "$src"/tests/{output,image,install}.sh)
    ;;
release)
    [ -n "${GREET_SIGNING_KEY:-}" ] || { echo "controls.sh release: the release must be signed (GREET_SIGNING_KEY)" >&2 && exit 2; }
    v=$(bash packaging/release.sh --version)
    root=$PWD
    # The release's date, as its x86-64 .tar.gz holds it.
    SOURCE_DATE_EPOCH=$(date -u -d "$(tar --utc --full-time -tvzf "dist/greet-$v/greet-$v-linux-x86_64.tar.gz" |
        awk 'NR == 1 { print $4, $5 }')" +%s) || exit 1
    export SOURCE_DATE_EPOCH
    bash tests/release-check.sh "dist/greet-$v" "$v" >"$tmp/log" 2>&1 || { cat "$tmp/log" && exit 1; }
    # A root for release-check.sh, with the tested executables to judge by;
    # a clone for release.sh, which packs the builds of build/.
    mkdir "$tmp/root"
    cp -R --parents tests build/{default,static,linux-arm64,linux-arm64-static}/greet build/windows/greet.exe "$tmp/root/" || exit 1
    ln -s "$root/.git" "$tmp/root/.git"
    git clone -q "$root" "$tmp/clone" && mkdir "$tmp/clone/build" && ln -s "$root"/build/* "$tmp/clone/build/" || exit 1
    dist_state() {
        cd "$tmp/clone" && find dist -exec stat -c '%n %A %y' {} + 2>/dev/null | sort && find dist -type f -exec sha256sum {} + 2>/dev/null
    }
    registered=" release-check "
    while read -r _ check fault; do
        case $check in
        release-check)
            rm -rf "$tmp/release" "$tmp/d" && mkdir "$tmp/d" && cp -R "dist/greet-$v" "$tmp/release" &&
                cp "build/linux-arm64/greet" "$tmp/root/build/linux-arm64/greet" || exit 1
            (cd "$tmp/release" && eval "$fault") || fail "could not plant: $fault"
            bash "$tmp/root/tests/release-check.sh" "$tmp/release" "$v" >"$tmp/log" 2>&1
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
    done < <(controls | grep -E '^- ')
    missed=$(unreached tests/release-check.sh)
    ;;
esac
[ -z "$missed" ] || fail "no fault reaches these assertions:" "$missed"
[ -z "${failed:-}" ] && echo "controls: each fault caught, every assertion reached"
