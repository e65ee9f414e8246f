#!/usr/bin/env bash
# The documents tell the truth. Every command block of README.md and HACKING.md (a fenced sh
# block whose lines begin with "$ ") and of the EXAMPLES of every manual page (a .Bd -literal
# display holding such lines) runs in a scratch copy of the source tree, each command under bash,
# and what it prints (standard output and error together) must be the lines the document shows
# after it. A command that fails without a word fails too. The Markdown documents' blocks run from
# the top of the copy, a page's from examples/, where the files its examples name are; a block's
# cd holds to its end. The programs are on PATH and in build/release/bin, as the README's quick
# start leaves them.
#
# What the test must know stands in the document, on the lines just before the block (Markdown:
# <!-- doc-test: ... -->, a page: .\" doc-test: ...):
#   not run: WHY       the block is not run, and the test lists it with the reason; a Markdown sh
#                      block that shows no "$ " command needs this
#   skip WORDS: WHY    the commands that begin with WORDS are not run, nor their output compared
#   first: COMMANDS    run before the block, in its shell, their output shown only if they fail
#   shape              a measurement: numbers may differ, everything else must match
#   shape of: COMMAND  (Markdown, before a table) the table is what COMMAND prints, by shape
set -uo pipefail
source_dir=$ASSETKIT_SOURCE_DIR
bin=$ASSETKIT_NATIVE_BIN
"$ASSETKIT_TESTTOOL" need sdcc sdldz80 sdasz80 sox mandoc man make ctest hyperfine xxd /usr/bin/time \
    "$bin/sampleprep" \
    "$bin/palprep" || exit

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
    echo "FAILED $*"
    failures=$((failures + 1))
}

# blocks DOCUMENT: writes each block of the document into $work/blocks/N.{where,markers,text}.
blocks() {
    rm -rf "$work/blocks"
    mkdir "$work/blocks"
    awk -v out="$work/blocks" -v doc="${1##*/}" '
        function emit() {
            n++
            print doc ":" start > (out "/" n ".where"); close(out "/" n ".where")
            printf "%s", markers > (out "/" n ".markers"); close(out "/" n ".markers")
            printf "%s", text > (out "/" n ".text"); close(out "/" n ".text")
        }
        # A manual page: the .Bd -literal displays of its EXAMPLES, with the escapes they use.
        FILENAME ~ /\.[0-9]$/ {
            if (/^\.Sh /) { examples = ($0 == ".Sh EXAMPLES"); markers = ""; next }
            if (!examples) next
            if (inside && /^\.Ed/) { inside = 0; emit(); markers = ""; next }
            if (inside) {
                gsub(/\\e/, "\\"); gsub(/\\-/, "-"); gsub(/\\&/, "")
                text = text $0 "\n"; next
            }
            if (/^\.\\" doc-test: /) { sub(/^\.\\" doc-test: /, ""); markers = markers $0 "\n"; next }
            if (/^\.Bd -literal/) { inside = 1; start = FNR; text = ""; next }
            # A command in a one-line display could not be compared with what it prints.
            if (/^\.Dl \$ /) { start = FNR; text = "(.Dl) " substr($0, 5) "\n"; emit() }
            markers = ""
            next
        }
        # Markdown: its fenced sh blocks, and the tables a command prints.
        inside && /^```$/ { inside = 0; if (lang == "sh") emit(); markers = ""; next }
        inside { text = text $0 "\n"; next }
        /^```/ { inside = 1; lang = substr($0, 4); start = FNR + 1; text = ""; next }
        table && /^\|/ { text = text $0 "\n"; next }
        table { table = 0; emit(); markers = "" }
        /^<!-- doc-test: shape of: .* -->$/ {
            command = $0; sub(/^<!-- doc-test: shape of: /, "", command); sub(/ -->$/, "", command)
            table = 1; start = FNR + 1; text = "$ " command "\n"; markers = markers "shape\n"; next
        }
        /^<!-- doc-test: .* -->$/ {
            sub(/^<!-- doc-test: /, ""); sub(/ -->$/, ""); markers = markers $0 "\n"; next
        }
        { markers = "" }
        END { if (table) emit() }
    ' "$1"
}

# run_block N FOLDER: runs block N from FOLDER of the scratch copy and compares.
run_block() {
    local n=$1 folder=$2 where text markers line word
    where=$(cat "$work/blocks/$n.where")
    text=$work/blocks/$n.text
    markers=$work/blocks/$n.markers
    local skips=() first="" shape=false
    while IFS= read -r line; do
        case $line in
        "not run: "*)
            echo "not run: $where: ${line#not run: }"
            return
            ;;
        "skip "*": "*)
            word=${line#skip }
            word=${word%%: *}
            skips+=("$word")
            echo "not run in $where: $word...: ${line#*: }"
            ;;
        "first: "*) first+="${line#first: }"$'\n' ;;
        shape) shape=true ;;
        *)
            fail "$where: unknown doc-test marker: $line"
            return
            ;;
        esac
    done <"$markers"
    if grep -q '^(.Dl) ' "$text"; then
        fail "$where: a command in a one-line display (.Dl), whose output is not shown: use .Bd -literal"
        return
    fi
    if ! grep -q '^\$ ' "$text"; then
        # A page's display of a file's text (a C file, a palette) shows no command.
        case $where in *.md:*) fail "$where: a command block neither run nor marked 'not run'" ;; esac
        return
    fi
    if [ "$(head -c 2 "$text")" != '$ ' ]; then
        fail "$where: the block begins with output, before any command"
        return
    fi

    # The script that prints the block again, each command followed by what it printed.
    local script=$work/script.sh
    {
        echo 'cd "$1" || exit 1'
        if [ -n "$first" ]; then
            printf '{\n%s} >"$2" 2>&1 || { echo "[first: failed]"; cat "$2"; exit 1; }\n' "$first"
        fi
        awk -v quote="'" '
            function flush() {
                if (command == "") return
                print "cat <<" quote "DOC_TEST_END" quote
                printf "%s", shown
                print "DOC_TEST_END"
                if (skipped) {
                    print "cat <<" quote "DOC_TEST_END" quote
                    printf "%s", output
                    print "DOC_TEST_END"
                } else {
                    printf "{\n%s\n} >\"$2\" 2>&1 </dev/null\n", command
                    print "status=$?; cat \"$2\""
                    print "[ $status = 0 ] || [ -s \"$2\" ] || echo \"[exit status $status, nothing printed]\""
                }
                command = ""; shown = ""; output = ""
            }
            BEGIN { while ((getline word < ARGV[2]) > 0) skip[++skips] = word; ARGV[2] = "" }
            continued { shown = shown $0 "\n"; command = command "\n" $0; continued = /\\$/; next }
            /^\$ / {
                flush()
                shown = $0 "\n"; command = substr($0, 3); continued = /\\$/
                skipped = 0
                for (i = 1; i <= skips; i++)
                    if (index(command, skip[i]) == 1) skipped = 1
                next
            }
            { output = output $0 "\n" }
            END { flush() }
        ' "$text" <(printf '%s\n' "${skips[@]+"${skips[@]}"}" | sed '/^$/d')
    } >"$script"
    # Away from any terminal, as samplepack stops packing on a key typed meanwhile. A skipped
    # command prints the document's own lines, so that the comparison passes over them.
    (PATH="$work/copy/build/release/bin:$PATH" setsid -w bash "$script" "$work/copy/$folder" \
        "$work/output" </dev/null >"$work/actual" 2>&1)
    # A terminal shows neither a line's trailing blanks nor a CR before its LF.
    local normal='s/[[:space:]]+$//'
    # A measurement: any number where the document has a number.
    $shape && normal+='; s/[-+]?[0-9]+([.][0-9]+)?/#/g'
    sed -E "$normal" "$text" >"$work/expected"
    sed -E "$normal" "$work/actual" >"$work/actual.normal"
    local expected=$work/expected actual=$work/actual.normal
    if diff -u --label "$where (the document)" --label "$where (as run)" "$expected" "$actual" \
        >"$work/diff"; then
        echo "ran: $where"
    else
        fail "$where: the document and the run differ:"
        cat "$work/diff"
    fi
}

# fresh_copy: a scratch copy of the source tree, with the programs where the quick start puts
# them and the build itself where the default preset puts it (HACKING.md's transcript of the
# player's test runs it there through ctest, whose report junit-default.xml it then rewrites).
fresh_copy() {
    rm -rf "$work/copy"
    mkdir "$work/copy"
    (cd "$source_dir" && tar --exclude=./build --exclude=./.git -cf - .) | tar -C "$work/copy" -xf - ||
        { echo "docs: cannot copy $source_dir" >&2; exit 1; }
    mkdir -p "$work/copy/build/release/bin"
    # Copies, so that no command of a document can write over the build's own programs.
    for program in $(cat "$bin/../programs.txt"); do
        cp "$bin/$program" "$work/copy/build/release/bin/"
    done
    ln -s "$(cd "$bin/.." && pwd)" "$work/copy/build/default"
}

# One copy for each document, read from top to bottom as a user would. ASSETKIT_DOCS names
# others, by their paths in the source tree (docs-fixtures.sh).
documents=()
for markdown in "$source_dir"/*.md; do documents+=("${markdown##*/}"); done
for page in "$source_dir"/*/*.[1-9]; do
    case $page in "$source_dir"/build/*) continue ;; esac
    documents+=("${page#"$source_dir"/}")
done
if [ -n "${ASSETKIT_DOCS:-}" ]; then read -ra documents <<<"$ASSETKIT_DOCS"; fi
for document in "${documents[@]}"; do
    fresh_copy
    blocks "$source_dir/$document"
    folder=.
    case $document in *.[1-9]) folder=examples ;; esac
    for ((n = 1; n <= $(find "$work/blocks" -name '*.text' | wc -l); n++)); do
        run_block "$n" "$folder"
    done
done
[ "$failures" = 0 ] || {
    echo "docs: $failures blocks are not as the documents show"
    exit 1
}
echo "docs: every command block run is as the documents show"
