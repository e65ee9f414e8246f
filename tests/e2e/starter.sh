#!/usr/bin/env bash
# The starter project, examples/Makefile, in a scratch copy of examples/: make builds the Intel
# HEX image; a second make runs nothing; the image holds the packed sound and palette at the
# addresses the linker's map gives their symbols; clean and make -j4, with the programs taken
# from PATH, give the same image; a palette that palprep refuses fails the build and leaves no
# prepared palette behind.
set -euo pipefail
bin=$ASSETKIT_NATIVE_BIN
testtool=$ASSETKIT_TESTTOOL
fail() {
    echo "starter: $*" >&2
    exit 1
}
"$testtool" need sdcc make || exit

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cp -R "$ASSETKIT_SOURCE_DIR/examples" "$scratch/starter"
cd "$scratch/starter"

# make, away from the terminal: a key typed meanwhile would end samplepack's packing early.
build() {
    setsid -w make --no-print-directory "$@" </dev/null >"$scratch/make.log" 2>&1
}
show() {
    cat "$scratch/make.log"
    fail "$@"
}

build clean
build BIN="$bin" || show "make failed"
[ -s build/starter.ihx ] || show "make wrote no build/starter.ihx"
cp build/starter.ihx "$scratch/first.ihx"

find build -printf '%p %T@\n' | sort >"$scratch/before.txt"
build -q BIN="$bin" || fail "make -q says there is work left after make"
build BIN="$bin" || show "a second make failed"
[ "$(cat "$scratch/make.log")" = "make: Nothing to be done for 'all'." ] || show "a second make ran:"
find build -printf '%p %T@\n' | sort >"$scratch/after.txt"
cmp -s "$scratch/before.txt" "$scratch/after.txt" || fail "a second make touched files"

# The image's data bytes, one "ADDRESS BYTE" line each (a byte given twice is an error).
"$testtool" hex build/starter.ihx | LC_ALL=C sort >"$scratch/image.txt"

# The packed sound and palette, made here by the programs themselves, must stand in the image at
# their symbols' addresses.
mkdir "$scratch/direct"
"$bin/sampleprep" -r 8000 hello.wav "$scratch/direct/hello.wav"
"$bin/samplepack" "$scratch/direct/hello.wav" </dev/null
"$bin/palprep" --depth 15 pastel16.pal "$scratch/direct/pastel16.pal"
"$bin/palpack" "$scratch/direct/pastel16.pal" "$scratch/direct/pastel16.bin" 15 >/dev/null
check_symbol() { # SYMBOL FILE
    local at
    at=$(awk -v s="$1" '$2 == s && $1 ~ /^[0-9A-Fa-f]+$/ { print $1; exit }' build/starter.map)
    [ -n "$at" ] || fail "build/starter.map does not place $1"
    od -An -v -tx1 "$2" | tr -s ' ' '\n' | grep -v '^$' |
        LC_ALL=C awk -v at=$((16#$at)) '{ printf "%04X %s\n", at + NR - 1, toupper($1) }' |
        LC_ALL=C sort >"$scratch/expected.txt"
    [ -s "$scratch/expected.txt" ] || fail "$2 is empty"
    [ -z "$(LC_ALL=C comm -23 "$scratch/expected.txt" "$scratch/image.txt")" ] ||
        fail "build/starter.ihx does not hold $(basename "$2") at $1 (0x$at)"
    echo "$1 at 0x${at: -4}: $(wc -l <"$scratch/expected.txt") bytes"
}
check_symbol _hello "$scratch/direct/hello.bin"
check_symbol _PALETTE "$scratch/direct/pastel16.bin"

build clean
PATH="$bin:$PATH" build -j4 BIN= || show "make -j4 with the programs from PATH failed"
cmp -s build/starter.ihx "$scratch/first.ihx" || fail "make -j4 gave another image"

# A palette that holds fewer colours than it says: the build fails and nothing half-made stays to
# look finished.
head -n 10 pastel16.pal >short.pal
mv short.pal pastel16.pal
build clean
if build BIN="$bin"; then show "make succeeded with a palette of 7 colours out of 16"; fi
grep -q '^palprep: pastel16.pal: ' "$scratch/make.log" || show "palprep did not refuse the short palette"
if [ -e build/pastel16.pal ] || [ -e build/pastel16.bin ]; then
    fail "a refused palette left build/pastel16.pal or build/pastel16.bin behind"
fi
