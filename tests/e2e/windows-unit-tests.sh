#!/usr/bin/env bash
# The Windows build's own unit tests (*_test.exe), under Wine. There a program has a console only
# when it runs on a terminal, so they run on a pseudo-terminal (script(1)), whose screen is full
# of console escapes: what they report is read from GoogleTest's XML report instead. script(1)
# passes its standard input on to the terminal, and its end as a key the console would queue: the
# input stays open and silent. The exit status is the tests'.
set -uo pipefail
"$ASSETKIT_TESTTOOL" need script xmllint || exit
tests=("$ASSETKIT_BIN_DIR"/*_test.exe)
[ -f "${tests[0]}" ] || { echo "no unit tests in $ASSETKIT_BIN_DIR" >&2; exit 1; }
scratch=$(mktemp -d)
exec {quiet}< <(sleep 900)
quiet_pid=$!
trap 'kill "$quiet_pid" 2>/dev/null; rm -rf "$scratch"' EXIT
cd "$scratch" || exit 1
failed=0
for t in "${tests[@]}"; do
    name=$(basename "$t" .exe)
    command=$(printf '%q ' "$ASSETKIT_RUNNER" "$t" --gtest_color=no "--gtest_output=xml:$name.xml")
    timeout 300 script -qec "$command" /dev/null <&"$quiet" >"$name.log" 2>&1
    status=$?
    if [ -s "$name.xml" ]; then
        echo "$name: $(xmllint --xpath 'string(/testsuites/@tests)' "$name.xml") tests," \
            "$(xmllint --xpath 'string(/testsuites/@failures)' "$name.xml") failed"
        xmllint --xpath '//failure/@message' "$name.xml" 2>/dev/null
    else
        echo "$name: no report (status $status)"
        tr -d '\r' <"$name.log" | tail -n 20
    fi
    [ "$status" -eq 0 ] && [ -s "$name.xml" ] || failed=1
done
exit "$failed"
