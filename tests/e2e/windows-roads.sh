#!/usr/bin/env bash
# The companion roads with the Windows zip's programs under Wine and with the native ones, each in
# a folder whose name has spaces and letters beyond ASCII: a recording in WAV, FLAC and Ogg Vorbis
# through sampleprep, samplepack and binobj, and a GIMP palette with CR LF line ends through
# palprep, palpack and binobj, each linked by sdldz80 into an Intel HEX image; palview's picture
# of the packed palette; sampleunpack's playback. The Windows programs get every path as Windows
# names it, from the drive letter on, with backslashes; whatever each writes must be the native
# bytes (the object modules and the messages without their CR). Wine turns the arguments into
# Unicode by the locale, hence C.UTF-8.
set -uo pipefail
fail() {
    echo "windows roads: $*" >&2
    exit 1
}
"$ASSETKIT_TESTTOOL" need unzip sox sdldz80 || exit
windows=$(dirname "$ASSETKIT_BIN_DIR")
for p in sampleprep sampleunpack palprep palview; do
    grep -qx "$p" "$windows/programs.txt" ||
        fail "the Windows build lacks $p (scripts/build-windows-libs, then the preset windows)"
done
zips=("$windows"/assetkit-*-win64.zip)
[ -f "${zips[0]}" ] || fail "no zip in $windows (cmake --workflow --preset windows makes it)"
zip=${zips[0]}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
unzip -q "$zip" -d "$scratch/zip" || fail "cannot unpack $zip"
top=$scratch/zip/$(basename "$zip" .zip)

examples=$ASSETKIT_SOURCE_DIR/examples
far="$scratch/Grüße und Töne"
mkdir -p "$far" "$scratch/native"
cp "$examples/hello.wav" "$far/"
sox "$examples/hello.wav" "$far/hello.flac" || fail "sox could not write FLAC"
sox "$examples/hello.wav" -C 3 "$far/hello.ogg" || fail "sox could not write Ogg"
printf 'GIMP Palette\r\nName: Pastels\r\nColumns: 4\r\n#\r\n' >"$far/pastel.gpl"
sed -n '4,$p' "$examples/pastel16.pal" | tr -d '\r' |
    awk '{ printf "%3d %3d %3d\tColour %d\r\n", $1, $2, $3, NR }' >>"$far/pastel.gpl"
cp "$far/"* "$scratch/native/"

native_run() { "$ASSETKIT_NATIVE_BIN/$1" "${@:2}"; }
wine_run() { setsid -w "$ASSETKIT_RUNNER" "$top/$1.exe" "${@:2}"; }
winpath() { printf 'Z:%s' "${1//\//\\}"; }
# road RUN FOLDER: the roads, with programs started as RUN PROGRAM and file names given as
# FOLDER\NAME under Wine (FOLDER/NAME natively).
road() {
    local run=$1 at=$2 sep=/
    [ "$run" = wine_run ] && sep=\\
    for format in wav flac ogg; do
        "$run" sampleprep --trim 40 "$at${sep}hello.$format" "$at${sep}word-$format.wav" &&
            "$run" samplepack "$at${sep}word-$format.wav" &&
            "$run" binobj "$at${sep}word-$format.bin" 0xC000 || return 1
    done
    "$run" sampleunpack "$at${sep}word-wav.bin" "$at${sep}preview.wav" &&
        "$run" palprep --depth 15 "$at${sep}pastel.gpl" "$at${sep}pastel-15.pal" &&
        "$run" palpack "$at${sep}pastel-15.pal" "$at${sep}pastel-15.bin" 15 &&
        "$run" binobj "$at${sep}pastel-15.bin" 0xD000 PALETTE &&
        "$run" palview "$at${sep}pastel-15.bin" "$at${sep}pastel-15.png" --depth 15 &&
        "$run" sampleprep --version
}
(road native_run "$scratch/native" </dev/null >"$scratch/native.txt" 2>&1) ||
    { cat "$scratch/native.txt"; fail "the native companion programs failed on the roads"; }
(export LC_ALL=C.UTF-8; road wine_run "$(winpath "$far")" </dev/null >"$scratch/windows.txt" 2>&1) ||
    { cat "$scratch/windows.txt"; fail "the zip's companion programs failed on the roads under Wine"; }
for f in word-wav.wav word-flac.wav word-ogg.wav word-wav.bin word-flac.bin word-ogg.bin \
    preview.wav pastel-15.pal pastel-15.bin pastel-15.png; do
    [ -s "$scratch/native/$f" ] || fail "the native programs wrote no $f"
    cmp "$scratch/native/$f" "$far/$f" || fail "$f from the zip's programs differs"
done
cmp -s "$scratch/native.txt" <(tr -d '\r' <"$scratch/windows.txt") ||
    fail "the zip's companion programs printed otherwise than the native ones"
for o in word-wav word-flac word-ogg pastel-15; do
    grep -qv $'\r$' "$far/$o.o" && fail "$o.o from the zip's programs has a line without CR LF"
    for side in "$scratch/native" "$far"; do
        (cd "$side" && sdldz80 -n -i "$o.ihx" "$o.o" >/dev/null) ||
            fail "sdldz80 could not link $side/$o.o"
    done
    cmp "$scratch/native/$o.ihx" "$far/$o.ihx" || fail "the image linked from the zip's $o.o differs"
done
echo "the companion roads under Wine: WAV, FLAC and Ogg recordings and a GIMP palette with CR LF" \
    "give the native bytes, images and picture, in \"$(winpath "$far")\""
