#!/usr/bin/env bash
# The starter project, examples/Makefile, in a scratch copy of examples/: make builds the ROM
# image (for the machine psg-6bit); a second make runs nothing; the image holds the packed sound, palette and picture in the banks and
# at the places the linker's map gives their symbols; make clean all, and clean and make -j4 with
# the programs taken from PATH, give the same image; a link whose code or variables overflow
# fails; a recording and a palette in other formats (FLAC, PNG) are found by their extensions; a
# palette that palprep refuses fails the build and leaves no prepared palette behind; a copy of
# the folder alone finds the players beside the programs it is given, and says so plainly when
# there are none.
set -euo pipefail
bin=$ASSETKIT_NATIVE_BIN
testtool=$ASSETKIT_TESTTOOL
fail() {
    echo "starter: $*" >&2
    exit 1
}
"$testtool" need sdcc make sox || exit

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cp -R "$ASSETKIT_SOURCE_DIR/examples" "$scratch/starter"
# Beside it, as in the source tree, the players and machines its Makefile takes from ../player
# and ../machines.
cp -R "$ASSETKIT_SOURCE_DIR/player" "$scratch/player"
cp -R "$ASSETKIT_SOURCE_DIR/machines" "$scratch/machines"
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
[ -s build/starter.rom ] || show "make wrote no build/starter.rom"
cp build/starter.rom "$scratch/first.rom"

# clean before other goals keeps what they need.
build clean all BIN="$bin" || show "make clean all failed"
cmp -s build/starter.rom "$scratch/first.rom" || fail "make clean all made another image"
[ "$(find build -newer "$scratch/first.rom" -name '*.rel' | wc -l)" -gt 0 ] ||
    fail "make clean all did not build again"

find build -printf '%p %T@\n' | sort >"$scratch/before.txt"
build -q BIN="$bin" || fail "make -q says there is work left after make"
build BIN="$bin" || show "a second make failed"
[ "$(cat "$scratch/make.log")" = "make: Nothing to be done for 'all'." ] || show "a second make ran:"
find build -printf '%p %T@\n' | sort >"$scratch/after.txt"
cmp -s "$scratch/before.txt" "$scratch/after.txt" || fail "a second make touched files"

# The packed sound and palette, made here by the programs themselves, must stand in the ROM image
# where the map puts their symbols: bank n at n x 16384, the window from 0x8000.
mkdir "$scratch/direct"
# At the rate the default machine's player truly plays, CLOCK / T; the palette packed for its
# colour memory.
rate=$(sh ../player/player-timing -b psg-6bit 8000 | cut -d' ' -f2)
"$bin/sampleprep" -r "$rate" -d psg hello.wav "$scratch/direct/hello.wav"
"$bin/samplepack" "$scratch/direct/hello.wav" </dev/null
"$bin/palprep" --pack --depth 6 --count 32 pastel16.pal "$scratch/direct/pastel16.bin" 2>/dev/null
"$bin/tilepack" -m psg-6bit -o "$scratch/direct/picture" screen.png
check_symbol() { # SYMBOL FILE
    local at offset size
    at=$(awk -v s="$1" '$2 == s && $1 ~ /^[0-9A-Fa-f]+$/ { print $1; exit }' build/starter.map)
    [ -n "$at" ] || fail "build/starter.map does not place $1"
    at=$((16#$at))
    if [ $((at >> 16)) -lt 2 ] || [ $((at & 0xFFFF)) -lt $((0x8000)) ]; then
        fail "build/starter.map puts $1 at $(printf 0x%X $at), in no bank's window"
    fi
    offset=$(((at >> 16) * 16384 + (at & 0xFFFF) - 0x8000))
    size=$(wc -c <"$2")
    [ "$size" -gt 0 ] || fail "$2 is empty"
    cmp -s -n "$size" -i "$offset:0" build/starter.rom "$2" ||
        fail "build/starter.rom does not hold $(basename "$2") at $1 ($(printf 0x%X $at))"
    grep -q "^#define ${1#_}_bank $((at >> 16))\$" build/banks/banks.h ||
        fail "build/banks/banks.h does not give $1 the bank $((at >> 16))"
    echo "$1 in bank $((at >> 16)) at $(printf 0x%X $((at & 0xFFFF))): $size bytes"
}
sound=$(check_symbol _hello "$scratch/direct/hello.bin")
palette=$(check_symbol _pastel16 "$scratch/direct/pastel16.bin")
# The picture: its tiles, sub-palettes and map, as tilepack writes them for the machine.
picture="$(check_symbol _picture_tiles "$scratch/direct/picture/tiles.bin"); $(
    check_symbol _picture_palettes "$scratch/direct/picture/palettes.bin"); $(
    check_symbol _screen_map "$scratch/direct/picture/screen.map")"

build clean
PATH="$bin:$PATH" build -j4 BIN= || show "make -j4 with the programs from PATH failed"
cmp -s build/starter.rom "$scratch/first.rom" || fail "make -j4 gave another image"

# Code that runs into the bank window, and variables past the end of RAM: the link fails and
# leaves no image.
# (The machine linear's program has a variable: a stack just above RAM's start leaves it no room.)
for overflow in CODE_LOC=0x7FE0 'MACHINE=linear STACK=0xC101'; do
    rm -f build/starter.*
    # shellcheck disable=SC2086 # the settings are words
    if build BIN="$bin" $overflow; then show "make succeeded with $overflow"; fi
    grep -q '^build/starter.map: _' "$scratch/make.log" || show "no area was refused with $overflow"
    if [ -e build/starter.ihx ] || [ -e build/starter.rom ]; then fail "$overflow left an image"; fi
done

# One name for a sound and a palette, and sounds named as main.c's variable or the players'
# function: each said plainly, and no image.
cp -R . "$scratch/names"
(
    cd "$scratch/names"
    rm -rf build
    if build BIN="$bin" SOUNDS=hello PALETTES=hello; then show "make took hello as a sound and a palette"; fi
    grep -q 'SOUNDS and PALETTES name hello twice' "$scratch/make.log" || show "hello twice was not said"
    for name in mapper play_sample; do
        cp hello.wav "$name.wav"
        if build BIN="$bin" SOUNDS="$name"; then show "make took a sound named $name"; fi
        grep -q "^bankplan: build/$name.bin: its name $name in banks.h clashes with " \
            "$scratch/make.log" || show "bankplan took a sound named $name"
        [ ! -e build/starter.rom ] || fail "a sound named $name left an image"
    done
)

# A recording and a palette in other formats, found by their extensions.
cp -R . "$scratch/formats"
(
    cd "$scratch/formats"
    sox hello.wav hello.flac
    rm -rf build hello.wav pastel16.pal
    # pastel16.png's palette holds 256 entries: for a machine without colour memory, which takes
    # them all (a colour memory of 32 refuses them, as palprep --count does).
    build BIN="$bin" MACHINE=linear || show "make failed with hello.flac and pastel16.png"
    grep -q 'sampleprep .* hello.flac build/hello.wav$' "$scratch/make.log" || show "hello.flac was not prepared"
    grep -q 'palprep .* pastel16.png build/pastel16.pal$' "$scratch/make.log" || show "pastel16.png was not prepared"
    [ -s build/starter.rom ] || fail "no build/starter.rom from hello.flac and pastel16.png"
)

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

# The folder copied alone, away from the source tree: the players and machines beside the
# programs it is given (a build tree holds them in share/assetkit, as an installed toolkit does);
# with programs that have none beside them, make says which folder lacks the players, and make
# clean works all the same.
mkdir "$scratch/alone"
cp -R "$ASSETKIT_SOURCE_DIR/examples" "$scratch/alone/starter"
(
    cd "$scratch/alone/starter"
    build BIN="$bin" || show "make in a copy of the folder alone failed"
    [ -s build/starter.rom ] || fail "no build/starter.rom in a copy of the folder alone"
    mkdir "$scratch/bin"
    for program in "$bin"/*; do ln -s "$program" "$scratch/bin/"; done
    if build clean all BIN="$scratch/bin"; then show "make succeeded without players"; fi
    grep -q "^Makefile:[0-9]*: \*\*\* no players in $scratch/share/assetkit/player (player.h)" \
        "$scratch/make.log" || show "make did not say the players are missing:"
    if grep -q 'cannot open\|no timing' "$scratch/make.log"; then show "make ran on without players:"; fi
    build clean BIN="$scratch/bin" || show "make clean failed without players"
    [ ! -s "$scratch/make.log" ] || [ "$(cat "$scratch/make.log")" = "rm -rf build" ] ||
        show "make clean said more than it did without players:"
)

echo "starter: make builds build/starter.rom ($sound; $palette; $picture), a second make runs" \
    "nothing, make -j4 gives the same image, overflows fail, names main.c or the players use" \
    "are refused, other formats are found"
