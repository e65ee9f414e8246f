#!/usr/bin/env bash
# Every manual page PROG/PROG.1, and those of section 7, lints clean with mandoc and renders
# without a warning from groff at 80 columns, and its .Os names the toolkit alone (the build adds
# the version); the page of a program on the command-line skeleton says that a long option may be
# shortened.
set -euo pipefail
cd "$ASSETKIT_SOURCE_DIR"
fail() {
    echo "manual pages: $*" >&2
    exit 1
}
"$ASSETKIT_TESTTOOL" need mandoc man || exit

# Every program this build declares has its page beside its source.
programs=$("$ASSETKIT_TESTTOOL" programs "$ASSETKIT_NATIVE_BIN/../programs.txt") || exit 1
converters=$("$ASSETKIT_TESTTOOL" programs "$ASSETKIT_NATIVE_BIN/../converters.txt") || exit 1
pages=()
for program in $programs; do
    pages+=("$program/$program.1")
done
# And the pages of section 7: the players and the table of machines.
pages+=(player/assetkit-player.7 machines/assetkit-machines.7)
for page in "${pages[@]}"; do
    lint=$(mandoc -T lint -W warning "$page" 2>&1) || true
    [ -z "$lint" ] || fail "$page: mandoc -T lint -W warning:"$'\n'"$lint"
    groff=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null) || true
    [ -z "$groff" ] || fail "$page: MANWIDTH=80 man --warnings:"$'\n'"$groff"
    # groff breaks a table cell that is too wide for its column without a warning: the rest of
    # the cell lands far to the right, on lines of its own.
    text=$(MANWIDTH=80 LC_ALL=C.UTF-8 man -l "$page" 2>/dev/null)
    broken=$(grep -nE '^ {30,}[^ ]' <<<"$text") || true
    [ -z "$broken" ] || fail "$page: a table breaks at 80 columns:"$'\n'"$broken"
    [ "$(LC_ALL=C.UTF-8 wc -L <<<"$text")" -le 80 ] || fail "$page: lines wider than 80 columns"
    os=$(sed -n 's/^\.Os //p' "$page")
    # The build fills in the version, which the project's version alone sets.
    [ "$os" = assetkit ] || fail "$page: .Os must name assetkit alone (found '$os')"
    # Every program but the converters reads its command line through the one skeleton, which
    # takes a long option shortened: its page says so.
    if ! grep -qx "$(basename "$page" .1)" <<<"$converters"; then
        tr '\n' ' ' <"$page" | grep -q 'a long option may be shortened to any beginning no other shares' ||
            fail "$page: does not say that a long option may be shortened"
    fi
done
echo "${#pages[@]} manual pages lint clean and fit 80 columns"
