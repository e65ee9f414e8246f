#!/usr/bin/env bash
# Sets up what the test preset "wine" runs in (the fixture "wine"; wine-prefix-end.sh takes it
# down): Wine's loader and server, found wherever this system keeps them (on the PATH, or in
# Wine's library folder, where Debian's wine64 package puts them; ASSETKIT_WINE names a loader of
# one's choice), started through the wrappers $ASSETKIT_RUNNER and wineserver beside it; a fresh
# prefix $WINEPREFIX; and a Wine server kept running until the end. Wine's background services
# start once, here, with no pipe of a test open (they would hold the test's pipes open until they
# end), and every later start of a program is quick. The preset's environment names the paths.
set -euo pipefail
: "${WINEPREFIX:?the test preset wine sets it}" "${ASSETKIT_RUNNER:?}" "${TMPDIR:?}"
fail() {
    echo "wine prefix: $*" >&2
    exit 1
}
wine=
for w in "${ASSETKIT_WINE:-}" "$(command -v wine64)" "$(command -v wine)" /usr/lib/wine/wine64 \
    /usr/lib/wine/wine /usr/lib64/wine/wine64 /usr/libexec/wine/wine64 /opt/wine-stable/bin/wine; do
    if [ -n "$w" ] && [ -x "$w" ]; then
        wine=$w
        break
    fi
done
[ -n "$wine" ] || "$ASSETKIT_TESTTOOL" need wine64 || exit
wineserver=
for w in "$(dirname "$wine")/wineserver" "$(command -v wineserver)" /usr/lib/wine/wineserver \
    /usr/lib/wine/wineserver64; do
    if [ -n "$w" ] && [ -x "$w" ]; then
        wineserver=$w
        break
    fi
done
[ -n "$wineserver" ] || fail "no wineserver beside $wine or on the PATH"
programs=$("$ASSETKIT_TESTTOOL" programs "$ASSETKIT_BIN_DIR/../programs.txt") || exit 1
for p in $programs; do
    [ -f "$ASSETKIT_BIN_DIR/$p.exe" ] ||
        fail "no $ASSETKIT_BIN_DIR/$p.exe (cmake --workflow --preset windows first)"
done

folder=$(dirname "$ASSETKIT_RUNNER")
[ -x "$folder/wineserver" ] && "$folder/wineserver" -k >/dev/null 2>&1
rm -rf "$WINEPREFIX" "$TMPDIR"
mkdir -p "$WINEPREFIX" "$TMPDIR"
printf '#!/bin/sh\nexec %q "$@"\n' "$wine" >"$ASSETKIT_RUNNER"
printf '#!/bin/sh\nexec %q "$@"\n' "$wineserver" >"$folder/wineserver"
chmod +x "$ASSETKIT_RUNNER" "$folder/wineserver"
: >"${ASSETKIT_WINE_RETRIES:-/dev/null}"

"$wineserver" -p </dev/null >/dev/null 2>&1
if ! timeout 300 "$wine" wineboot -i </dev/null >"$folder/wineboot.log" 2>&1; then
    cat "$folder/wineboot.log"
    fail "Wine could not set up its prefix"
fi
echo "Wine $("$wine" --version 2>/dev/null) from $wine, prefix $WINEPREFIX"
