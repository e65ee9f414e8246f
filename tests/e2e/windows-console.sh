#!/usr/bin/env bash
# Without a console (no terminal, no standard input) samplepack.exe's key test must answer no: a
# sound of several reads is packed whole, byte for byte as the native build packs it.
set -uo pipefail
fail() {
    echo "windows console: $*" >&2
    exit 1
}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir "$scratch/native"
cp "$ASSETKIT_SOURCE_DIR/examples/bell.wav" "$scratch/bell.wav"
cp "$ASSETKIT_SOURCE_DIR/examples/bell.wav" "$scratch/native/bell.wav"
(cd "$scratch/native" && "$ASSETKIT_NATIVE_BIN/samplepack" bell.wav </dev/null) ||
    fail "the native samplepack failed"
(cd "$scratch" && setsid -w "$ASSETKIT_RUNNER" "$ASSETKIT_BIN_DIR/samplepack.exe" bell.wav \
    </dev/null >out.txt 2>&1)
status=$?
if [ "$status" -ne 0 ] || ! cmp "$scratch/bell.bin" "$scratch/native/bell.bin"; then
    cat "$scratch/out.txt"
    fail "samplepack.exe without a console did not pack examples/bell.wav whole (status $status)"
fi
