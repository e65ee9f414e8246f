#!/usr/bin/env bash
# The checks that walk the build's list of programs (programs.txt, converters.txt) must fail when
# the list is missing or names no program, never pass over an empty list: each is run here in a
# scratch tree whose list is missing, empty or blank, with stand-ins for the tools it needs
# (which do nothing), and must stop with status 1 saying that the list of programs is at fault.
set -uo pipefail
fail() {
    echo "program lists: $*" >&2
    exit 1
}
checks=$(dirname "$(realpath "$0")")
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# Stand-ins for every tool the checks look for before they read their list. The package's build
# (cmake) lays down the lists of $ASSETKIT_FAKE_BUILD as the package preset's build folder.
mkdir "$scratch/tools"
for tool in mandoc man unzip x86_64-w64-mingw32-objdump lintian dpkg-deb readelf sdldz80 sdcc \
    make wine wineserver; do
    printf '#!/bin/sh\nexit 0\n' >"$scratch/tools/$tool"
done
printf '#!/bin/sh\nmkdir -p build/package && cp -R "$ASSETKIT_FAKE_BUILD/." build/package/\n' \
    >"$scratch/tools/cmake"
chmod +x "$scratch/tools"/*

# list CASE FILE: FILE as the case has it: missing, empty, or blank lines alone.
list() {
    rm -f "$2"
    case $1 in
    empty) : >"$2" ;;
    blank) printf '\n  \n\n' >"$2" ;;
    esac
}

# run CHECK LIST CASE: runs tests/e2e/CHECK with its list LIST (programs.txt or converters.txt)
# in the state CASE and every other list good; prints its status and what it wrote.
run() {
    local check=$1 name=$2 case=$3 tree=$scratch/tree
    rm -rf "$tree"
    mkdir -p "$tree/source" "$tree/native/bin" "$tree/windows/bin" "$tree/fake" "$tree/wine/tmp"
    echo 'project(assetkit VERSION 1.0.0 LANGUAGES CXX)' >"$tree/source/CMakeLists.txt"
    for folder in native windows fake; do
        for file in programs.txt converters.txt; do
            if [ "$file" = "$name" ]; then
                list "$case" "$tree/$folder/$file"
            else
                echo samplepack >"$tree/$folder/$file"
            fi
        done
    done
    (
        cd "$tree/source" || exit 1
        env PATH="$scratch/tools:$PATH" ASSETKIT_SOURCE_DIR="$tree/source" \
            ASSETKIT_NATIVE_BIN="$tree/native/bin" ASSETKIT_BIN_DIR="$tree/windows/bin" \
            ASSETKIT_FAKE_BUILD="$tree/fake" ASSETKIT_WINE="$scratch/tools/wine" \
            ASSETKIT_RUNNER="$tree/wine/wine" WINEPREFIX="$tree/wine/prefix" TMPDIR="$tree/wine/tmp" \
            "$checks/$check" </dev/null 2>&1
        echo "status $?"
    )
}

# Each check and the lists it reads.
count=0
for row in manual-pages.sh:programs.txt manual-pages.sh:converters.txt wine-prefix.sh:programs.txt \
    package.sh:programs.txt package.sh:converters.txt windows-zip.sh:programs.txt; do
    check=${row%%:*} name=${row#*:}
    for case in missing empty blank; do
        out=$(run "$check" "$name" "$case")
        status=${out##*status }
        if [ "$status" != 1 ] || ! grep -q "the list of programs .*/$name" <<<"$out"; then
            fail "$check, its $name $case, did not stop for it (status $status):"$'\n'"$out"
        fi
        count=$((count + 1))
    done
done
echo "$count runs: each check stops on a missing, empty or blank list of programs"
