#!/usr/bin/env bash
# The Windows build's own unit tests (*_test.exe), under Wine. There a program has a console only
# when it runs on a terminal, so they run on a pseudo-terminal (script(1)). script(1) passes its
# standard input on to the terminal, and its end as a key the console would queue: the input
# stays open and silent. The exit status is the tests'.
set -uo pipefail
"$ASSETKIT_TESTTOOL" need script || exit
tests=("$ASSETKIT_BIN_DIR"/*_test.exe)
[ -f "${tests[0]}" ] || { echo "no unit tests in $ASSETKIT_BIN_DIR" >&2; exit 1; }
exec {quiet}< <(sleep 900)
quiet_pid=$!
trap 'kill "$quiet_pid" 2>/dev/null' EXIT
cd "$TMPDIR" || exit 1
failed=0
for t in "${tests[@]}"; do
    command=$(printf '%q ' "$ASSETKIT_RUNNER" "$t" --gtest_color=no)
    timeout 300 script -qec "$command" /dev/null <&"$quiet" 2>&1 | tr -d '\r' || failed=1
done
exit "$failed"
