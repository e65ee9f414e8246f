#!/usr/bin/env bash
# e2e.docs judges what it must: tests/e2e/docs.sh, run on docs-fixture.md and docs-fixture.7 (a
# case a block), fails, and its verdict on every block is the one docs-fixture.expected gives.
set -uo pipefail
here=$(dirname "$0")
output=$(ASSETKIT_DOCS="tests/e2e/docs-fixture.md tests/e2e/docs-fixture.7" "$here/docs.sh")
status=$?
[ "$status" = 77 ] && exit 77
verdicts=$(grep -E '^(ran|not run|FAILED)' <<<"$output")
if [ "$status" != 1 ] || [ "$verdicts" != "$(cat "$here/docs-fixture.expected")" ]; then
    echo "$output"
    echo "docs fixtures: status $status; the verdicts differ from docs-fixture.expected:"
    diff <(cat "$here/docs-fixture.expected") <(echo "$verdicts")
    exit 1
fi
echo "docs fixtures: every verdict as expected"
