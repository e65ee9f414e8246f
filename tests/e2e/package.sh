#!/usr/bin/env bash
# The Debian package:
# - the package, built twice from scratch with the preset "package", comes out byte for byte the
#   same, and lintian finds no error and no warning in it;
# - its programs are hardened (PIE, RELRO, bind-now, fortified functions, stack protector) and link
#   the C library dynamically; each has its compressed manual page, naming the package's version;
#   the copyright file and the changelog, which names every program, are there, and the
#   dependencies were computed; dpkg-buildflags takes every option it is given;
# - the sound road runs with the installed programs: the example WAV -> samplepack -> binobj at
#   0xC000 -> sdldz80, whose Intel HEX image must hold the packed sound at 0xC000;
# - the package carries the README and the starter project in /usr/share/doc/assetkit/examples/,
#   whose Makefile, run in a copy of that folder, builds the image with the package's programs,
#   named (make BIN=...) and by default (from PATH), the same image both ways.
set -euo pipefail
cd "$ASSETKIT_SOURCE_DIR"
build=build/package
export CMAKE_BUILD_PARALLEL_LEVEL="${CMAKE_BUILD_PARALLEL_LEVEL:-2}"

fail() {
    echo "package: $*" >&2
    exit 1
}
"$ASSETKIT_TESTTOOL" need lintian dpkg-deb readelf sdldz80 sdcc make || exit
version=$(sed -nE 's/^project\([^)]*VERSION ([0-9.]+).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || fail "no project version in CMakeLists.txt"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# ---- Two builds from scratch, which must give the same bytes.
build_package() {
    rm -rf "$build"
    cmake --workflow --preset package >"$scratch/build.log" 2>&1 || {
        cat "$scratch/build.log"
        fail "the package build failed"
    }
    # The lists of what the build declared, read here so that a build without them fails at once.
    declared=$("$ASSETKIT_TESTTOOL" programs "$build/programs.txt") || exit 1
    converters=$("$ASSETKIT_TESTTOOL" programs "$build/converters.txt") || exit 1
    # A warning of dpkg-buildflags is a flag it did not take.
    ! grep 'dpkg-buildflags: warning' "$scratch/build.log" ||
        fail "dpkg-buildflags warns in the package build"
    local debs=("$build"/*.deb)
    { [ "${#debs[@]}" -eq 1 ] && [ -f "${debs[0]}" ]; } || fail "expected one .deb in $build"
    deb=${debs[0]}
}
build_package
cp "$deb" "$scratch/first.deb"
build_package
if ! cmp "$scratch/first.deb" "$deb"; then
    command -v diffoscope >/dev/null && diffoscope "$scratch/first.deb" "$deb" | head -n 60
    fail "two builds of the package differ"
fi
echo "two builds of $(basename "$deb") are byte for byte the same"

# ---- lintian: no error, no warning (informational tags are shown, and pass).
lintian_out=$(lintian --fail-on error,warning --display-info "$deb" 2>&1 |
    grep -v '^running with root privileges' || true)
echo "lintian:"
echo "${lintian_out:-(nothing)}"
if grep -qE '^[EW]: ' <<<"$lintian_out" ||
    ! lintian --fail-on error,warning "$deb" >/dev/null 2>&1; then
    fail "lintian finds errors or warnings in $(basename "$deb")"
fi

# ---- What the package holds.
# Installed by dpkg itself, into a root of its own with an empty package database (so the
# libraries it depends on, which this system has, are not known there): every file lands where an
# installation puts it, and dpkg must take the package.
root=$scratch/root
mkdir -p "$root/var/lib/dpkg/updates" "$root/var/lib/dpkg/info"
: >"$root/var/lib/dpkg/status"
dpkg --root="$root" --force-depends -i "$deb" >"$scratch/dpkg.log" 2>&1 || {
    cat "$scratch/dpkg.log"
    fail "dpkg does not install $(basename "$deb")"
}
dpkg --root="$root" -s assetkit | grep -q '^Status: install ok installed' ||
    fail "dpkg does not list assetkit as installed"
bin=$root/usr/bin
package_version=$(dpkg-deb -f "$deb" Version)
[[ "$package_version" == "$version"-* ]] || fail "version $package_version: no revision of $version"
dpkg-deb -f "$deb" Depends | grep -q 'libc6 (>= ' || fail "Depends lacks the computed libc6"
for file in copyright changelog.Debian.gz; do
    [ -s "$root/usr/share/doc/assetkit/$file" ] || fail "the package lacks /usr/share/doc/assetkit/$file"
done
grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' \
    "$root/usr/share/doc/assetkit/copyright" || fail "the copyright file is not machine-readable"
changelog=$(gzip -dc "$root/usr/share/doc/assetkit/changelog.Debian.gz")
for program in $declared; do
    [ -x "$bin/$program" ] || fail "the package lacks $program"
    grep -qw "$program" <<<"$changelog" || fail "the changelog never names $program"
done
programs=("$bin"/*)
for program_path in "${programs[@]}"; do
    program=$(basename "$program_path")
    page=$root/usr/share/man/man1/$program.1.gz
    [ -f "$page" ] || fail "the package lacks the manual page of $program"
    gzip -t "$page" || fail "$program.1.gz is not a gzip file"
    cmp -s <(sed '/^\.Os/d' "$program/$program.1") <(gzip -dc "$page" | sed '/^\.Os/d') ||
        fail "$program.1.gz is not $program/$program.1"
    [ "$(gzip -dc "$page" | sed -n 's/^\.Os //p')" = "assetkit $version" ] ||
        fail "$program.1.gz: .Os does not name assetkit $version"

    # Hardening, read from the ELF headers.
    elf=$(readelf -hldW --dyn-syms "$program_path")
    { grep -qE 'Type: +DYN' <<<"$elf" && grep -q 'Flags: .*PIE' <<<"$elf"; } ||
        fail "$program is not a position-independent executable"
    grep -q 'GNU_RELRO' <<<"$elf" || fail "$program has no RELRO segment"
    grep -qE '\(BIND_NOW\)|Flags: .*NOW' <<<"$elf" || fail "$program is not bound now"
    grep -q 'Shared library: \[libc\.so\.6\]' <<<"$elf" ||
        fail "$program does not link the C library dynamically"
    grep -qE ' __[a-z_]+_chk(@|$)' <<<"$(grep -v __stack_chk <<<"$elf")" ||
        fail "$program calls no fortified function"
    grep -q '__stack_chk_fail' <<<"$elf" || fail "$program has no stack protector"
done
# The converters carry the C++ runtime within them and start without loading it.
for program in $converters; do
    readelf -dW "$bin/$program" | grep -q 'Shared library: \[libstdc++' &&
        fail "$program loads the C++ runtime instead of carrying it"
done
echo "${#programs[@]} programs, each hardened, linking the C library" \
    "dynamically, with its compressed manual page"

# ---- The sound road with the installed programs.
mkdir "$scratch/road"
cp examples/bell.wav "$scratch/road/"
cd "$scratch/road"
out=$("$bin/samplepack" bell.wav) || fail "samplepack failed: $out"
{ [ -z "$out" ] && [ -f bell.bin ]; } || fail "samplepack: unexpected output '$out'"
out=$("$bin/binobj" bell.bin 0xC000) || fail "binobj failed: $out"
{ [ -z "$out" ] && [ -f bell.o ]; } || fail "binobj: unexpected output '$out'"
sdldz80 -n -i bell.ihx bell.o || fail "sdldz80 failed"
[ -s bell.ihx ] || fail "sdldz80 wrote no Intel HEX image"

# The image's data bytes ("ADDRESS BYTE", by address) must be the packed sound laid down from
# 0xC000 on.
"$ASSETKIT_TESTTOOL" hex bell.ihx >image.txt || fail "bell.ihx is not a valid Intel HEX image"
od -An -v -tx1 bell.bin | tr -s ' ' '\n' | grep -v '^$' |
    LC_ALL=C awk '{ printf "%04X %s\n", 49152 + NR - 1, toupper($1) }' >expected.txt
[ -s expected.txt ] || fail "bell.bin is empty"
cmp -s expected.txt image.txt || fail "bell.ihx does not hold bell.bin at 0xC000"

# ---- The starter project, from the package's copy, with the package's programs and players.
doc=$root/usr/share/doc/assetkit
player=$root/usr/share/assetkit/player
[ -s "$doc/README.md" ] || fail "the package lacks /usr/share/doc/assetkit/README.md"
for file in Makefile main.c start.s limits.awk hello.wav pastel16.pal screen.png banner.png; do
    [ -s "$doc/examples/$file" ] || fail "the package lacks /usr/share/doc/assetkit/examples/$file"
done
starter() {
    rm -rf "$scratch/starter"
    cp -R "$doc/examples" "$scratch/starter"
    (cd "$scratch/starter" && setsid -w "$@" </dev/null >make.log 2>&1) || {
        cat "$scratch/starter/make.log"
        fail "the package's starter project failed: $*"
    }
    [ -s "$scratch/starter/build/starter.rom" ] || fail "$* wrote no build/starter.rom"
}
starter make BIN="$bin" PLAYER="$player"
grep -q "^$bin/sampleprep " "$scratch/starter/make.log" || fail "make BIN=$bin ran other programs"
cp "$scratch/starter/build/starter.rom" "$scratch/named.rom"
starter env PATH="$bin:$PATH" make PLAYER="$player"
grep -q '^sampleprep ' "$scratch/starter/make.log" || fail "make did not take the programs from PATH"
cmp -s "$scratch/named.rom" "$scratch/starter/build/starter.rom" ||
    fail "the starter's image differs between BIN=$bin and the programs from PATH"

echo "$(basename "$deb") passes; the sound road links $(wc -l <expected.txt) bytes at 0xC000;" \
    "the starter project builds from the package's copy"
