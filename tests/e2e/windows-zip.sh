#!/usr/bin/env bash
# The Windows download: the zip holds every program of the build (programs.txt), stripped and
# needing no DLL beyond Windows' own, each with its manual page and its line in README.txt;
# README.txt and LICENSE.txt with CR LF line ends; the licences of the libraries linked into the
# companion programs; the Z80 players, and how to time a sound without player-timing, a shell
# script. Its programs, unpacked, write what the native programs write on the examples (the
# object modules with CR LF line ends, compared without their CR).
set -uo pipefail
fail() {
    echo "windows zip: $*" >&2
    exit 1
}
"$ASSETKIT_TESTTOOL" need unzip x86_64-w64-mingw32-objdump || exit
windows=$(dirname "$ASSETKIT_BIN_DIR")
programs=$("$ASSETKIT_TESTTOOL" programs "$windows/programs.txt") || exit 1
zips=("$windows"/assetkit-*-win64.zip)
[ -f "${zips[0]}" ] || fail "no zip in $windows (cmake --workflow --preset windows makes it)"
zip=${zips[0]}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
unzip -q "$zip" -d "$scratch/zip" || fail "cannot unpack $zip"
top=$scratch/zip/$(basename "$zip" .zip)
for f in README.txt LICENSE.txt; do
    [ -s "$top/$f" ] || fail "$(basename "$zip") lacks $f"
    grep -qv $'\r$' "$top/$f" && fail "$f in the zip has a line without CR LF"
done
for f in player/linear.s player/psg.s player/ay.s player/psg3.s player/ay3.s \
    player/assetkit-delay.inc player/assetkit-play.inc player/settings.s player/player.h \
    player/player-timing manual/assetkit-player.html \
    machines/psg-6bit.machine machines/psg-12bit.machine machines/ay-9bit.machine \
    machines/linear.machine manual/assetkit-machines.html; do
    [ -s "$top/$f" ] || fail "$(basename "$zip") lacks $f"
done
for p in $programs; do
    for f in "$p.exe" "manual/$p.html"; do
        [ -s "$top/$f" ] || fail "$(basename "$zip") lacks $f"
    done
    x86_64-w64-mingw32-objdump -h "$top/$p.exe" | grep -q '\.debug_' &&
        fail "$p.exe in the zip is not stripped"
    # No DLL beyond Windows' own: the libraries are linked in.
    dlls=$(x86_64-w64-mingw32-objdump -p "$top/$p.exe" | sed -n 's/^[[:space:]]*DLL Name: //p' |
        grep -viE '^(kernel32|msvcrt|user32|advapi32|shell32|shlwapi|ole32|ws2_32|api-ms-win-.*)\.dll$')
    [ -z "$dlls" ] || fail "$p.exe needs DLLs the zip lacks: $dlls"
    grep -q "^  $p\.exe " "$top/README.txt" || fail "README.txt does not list $p.exe"
done
# player-timing is a POSIX shell script, which cmd does not run: README.txt works T out by hand,
# with each player's smallest T, and what a wait state on every M1 cycle adds to it, as the zip's
# player source defines them.
readme=$(tr -d '\r' <"$top/README.txt")
grep -q 'player-timing works T out, but it is a script for a' <<<"$readme" ||
    fail "README.txt does not say that player-timing is a shell script"
for player in linear psg ay; do
    for suffix in "" _WAIT; do
        single=$(sed -n "s/^PLAYER_T_MIN$suffix *= *\([0-9][0-9]*\).*/\1/p" "$top/player/$player.s")
        banked=$(sed -n "s/^PLAYER_T_MIN_BANKED$suffix *= *\([0-9][0-9]*\).*/\1/p" \
            "$top/player/$player.s")
        { [ -n "$single" ] && [ -n "$banked" ]; } ||
            fail "player/$player.s in the zip has no PLAYER_T_MIN$suffix"
        grep -qE "^  $player\.s +$single +$banked\$" <<<"$readme" ||
            fail "README.txt does not give $player.s's PLAYER_T_MIN$suffix: $single, $banked banked"
    done
done

# Each library linked in has its licence in the zip, as scripts/build-windows-libs collected them
# into the prefix the Windows build took its libraries from.
libs=$(sed -n 's/^ASSETKIT_WINDOWS_LIBS:PATH=//p' "$windows/CMakeCache.txt")
if [ -n "$libs" ] && [ -d "$libs/licenses" ]; then
    for library in "$libs"/licenses/*; do
        name=$(basename "$library")
        for text in "$library"/*; do
            t=$(basename "$text")
            [ -s "$top/licenses/$name/${t%.txt}.txt" ] || fail "the zip lacks the licence $name/$t"
        done
    done
elif grep -qx sampleprep <<<"$programs"; then
    fail "the Windows build names no libraries' prefix with licences (ASSETKIT_WINDOWS_LIBS)"
fi

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
echo "$(basename "$zip"): $(echo $programs), stripped, README.txt, LICENSE.txt, the licences and" \
    "the manual pages;" \
    "under Wine they write the native programs' bytes for both roads"
