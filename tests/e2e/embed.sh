#!/usr/bin/env bash
# Another CMake project can take the toolkit in with FetchContent. A small consumer project,
# tests/e2e/consumer, built in a scratch folder, fetches this source folder (no network), defines
# a target named `common` of its own, and packs and wraps examples/bell.wav at build time with the
# samplepack and binobj it built. The packed sound must be right, our programs must land in the
# consumer's runtime output folder, the consumer must have none of our tests, `cmake --install`
# of the consumer must install none of our files, no CPack set-up of ours may appear, and our
# compile definitions and warnings must stay out of its own code.
set -euo pipefail
root=$ASSETKIT_SOURCE_DIR
version=$(sed -n 's/^project(assetkit VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")

fail() {
    echo "embed: $*" >&2
    exit 1
}
"$ASSETKIT_TESTTOOL" need cmake ninja || exit

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
src=$(dirname "$(realpath "$0")")/consumer
build=$scratch/build

cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DASSETKIT_SOURCE="$root" \
    -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >"$scratch/configure.log" 2>&1 ||
    { cat "$scratch/configure.log"; fail "the consumer project does not configure"; }
cmake --build "$build" -j2 >"$scratch/build.log" 2>&1 ||
    { cat "$scratch/build.log"; fail "the consumer project does not build"; }

# Our programs go where the consumer puts its own.
"$build/tools/consumer" || fail "the consumer's program fails or is missing: its common is not its own"
programs=$("$ASSETKIT_TESTTOOL" programs "$build/_deps/assetkit-build/programs.txt") || exit 1
for program in $programs; do
    [ -x "$build/tools/$program" ] || fail "$program is not in the consumer's tools/"
done

# bell.bin: the block count (each byte plus one), then each pair of samples in the high and low
# nibble of a byte, then 0x88 up to whole blocks of 16.
od -An -v -tu1 -j52 "$root/examples/bell.wav" | LC_ALL=C awk '
{ for (i = 1; i <= NF; i++) s[n++] = $i }
END {
    bytes = int(n / 2)
    fill = (16 - bytes % 16) % 16
    blocks = (bytes + fill) / 16
    printf "%02x\n%02x\n", (blocks % 256 + 1) % 256, (int(blocks / 256) + 1) % 256
    for (i = 0; i + 1 < n; i += 2) printf "%02x\n", int(s[i] / 16) * 16 + int(s[i + 1] / 16)
    for (i = 0; i < fill; i++) print "88"
}' >"$scratch/expected.txt"
od -An -v -tx1 "$build/bell.bin" | tr -s ' ' '\n' | grep -v '^$' >"$scratch/packed.txt"
cmp -s "$scratch/expected.txt" "$scratch/packed.txt" ||
    fail "the consumer's bell.bin is not examples/bell.wav packed"
size=$(printf '%X' "$(wc -c <"$build/bell.bin")")
printf 'XL\nH 1 areas 1 global symbols\nM _bell\nA _CODE size %s flags 0\nS _bell Def0000\n' \
    "$size" >"$scratch/head.txt"
head -n 5 "$build/bell.o" | cmp -s "$scratch/head.txt" - ||
    fail "the consumer's bell.o does not start as a module of bell.bin"

# Only the consumer's test.
tests=$(ctest --test-dir "$build" -N | sed -n 's/^ *Test *#[0-9]*: //p')
[ "$tests" = consumer ] || fail "the consumer has tests that are not its own: $(echo "$tests" | head)"
built_tests=$(find "$build" -name '*_test' -type f)
[ -z "$built_tests" ] || fail "our test programs were built: $built_tests"

# Installing the consumer installs the consumer alone.
cmake --install "$build" --prefix "$scratch/prefix" >/dev/null
installed=$(cd "$scratch/prefix" && find . -type f | sort)
[ "$installed" = ./bin/consumer ] || fail "installing the consumer installs more: $installed"

configs=$(find "$build" -name 'CPack*Config.cmake')
[ -z "$configs" ] || fail "a CPack set-up appeared: $configs"

# Our version definition reaches our code and stays out of the consumer's, as do our warnings.
commands=$build/compile_commands.json
grep -F '"command"' "$commands" | grep -F -- "-c $root/samplepack/main.cpp" | tr -d '\134' |
    grep -qF "ASSETKIT_VERSION=\"$version\"" || fail "samplepack is not built with its version"
grep -F '"command"' "$commands" | grep -F -- "-c $src/" | grep -qE 'ASSETKIT_VERSION|-Wextra' &&
    fail "our compile definitions or options reach the consumer's code"

echo "embed: a consumer with a common of its own fetched the toolkit, built" $programs "and" \
    "packed examples/bell.wav into $(wc -c <"$build/bell.bin") bytes"
