#!/usr/bin/env bash
# Takes down what wine-prefix.sh set up: the Wine server, with the services it keeps, and the
# prefix. The count of Wine's retries ($ASSETKIT_WINE_RETRIES) stays for the summary.
set -uo pipefail
folder=$(dirname "$ASSETKIT_RUNNER")
if [ -x "$folder/wineserver" ]; then
    "$folder/wineserver" -k >/dev/null 2>&1
    "$folder/wineserver" -w >/dev/null 2>&1
fi
rm -rf "$WINEPREFIX" "$TMPDIR" "$ASSETKIT_RUNNER" "$folder/wineserver"
exit 0
