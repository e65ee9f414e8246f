#!/usr/bin/env bash
# The Windows download: the zip holds the stripped programs, README, LICENSE, the manual pages and
# the Z80 players,
# and its programs, unpacked, write what the native programs write on the examples (the object
# modules with CR LF line ends, compared without their CR).
set -uo pipefail
fail() {
    echo "windows zip: $*" >&2
    exit 1
}
"$ASSETKIT_TESTTOOL" need unzip x86_64-w64-mingw32-objdump || exit
windows=$(dirname "$ASSETKIT_BIN_DIR")
programs=$(cat "$windows/programs.txt")
zips=("$windows"/assetkit-*-win64.zip)
[ -f "${zips[0]}" ] || fail "no zip in $windows (cmake --workflow --preset windows makes it)"
zip=${zips[0]}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
unzip -q "$zip" -d "$scratch/zip" || fail "cannot unpack $zip"
top=$scratch/zip/$(basename "$zip" .zip)
for f in README.md LICENSE.txt player/linear.s player/psg.s player/ay.s player/assetkit-delay.inc \
    player/settings.s player/player.h player/player-timing manual/assetkit-player.html; do
    [ -s "$top/$f" ] || fail "$(basename "$zip") lacks $f"
done
for p in $programs; do
    for f in "$p.exe" "manual/$p.html"; do
        [ -s "$top/$f" ] || fail "$(basename "$zip") lacks $f"
    done
    x86_64-w64-mingw32-objdump -h "$top/$p.exe" | grep -q '\.debug_' &&
        fail "$p.exe in the zip is not stripped"
done

# road FOLDER RUNNER...: the two roads of the examples, in FOLDER, with programs started as
# RUNNER PROGRAM.
road() {
    local folder=$1
    shift
    mkdir -p "$folder"
    cp "$ASSETKIT_SOURCE_DIR/examples/bell.wav" "$ASSETKIT_SOURCE_DIR/examples/rgb332.pal" "$folder/"
    (
        cd "$folder" || exit 1
        "$@" samplepack bell.wav &&
            "$@" binobj bell.bin 2 &&
            "$@" palpack rgb332.pal rgb332.bin 15 &&
            "$@" palpack rgb332.pal rgb332-32.bin 32 &&
            "$@" binobj rgb332.bin 0xD000 PALETTE &&
            "$@" samplepack --version >version.txt
    ) </dev/null >"$folder/out.txt" 2>&1
}
native_run() { "$ASSETKIT_NATIVE_BIN/$1" "${@:2}"; }
wine_run() { setsid -w "$ASSETKIT_RUNNER" "$top/$1.exe" "${@:2}"; }
road "$scratch/native" native_run || fail "the native programs failed on the examples"
road "$scratch/windows" wine_run || {
    cat "$scratch/windows/out.txt"
    fail "the zip's programs failed on the examples under Wine"
}
for f in bell.bin rgb332.bin rgb332-32.bin; do
    cmp "$scratch/native/$f" "$scratch/windows/$f" || fail "$f from the zip's programs differs"
done
for f in bell.o rgb332.o version.txt; do
    if grep -qv $'\r$' "$scratch/windows/$f" ||
        ! cmp -s "$scratch/native/$f" <(tr -d '\r' <"$scratch/windows/$f"); then
        fail "$f from the zip's programs differs (or has a line without CR LF)"
    fi
done
[ -s "$scratch/windows/out.txt" ] && {
    cat "$scratch/windows/out.txt"
    fail "the zip's programs printed something on the examples"
}
echo "$(basename "$zip"): $(echo $programs), stripped, README, LICENSE and the manual pages;" \
    "under Wine they write the native programs' bytes for both roads"
