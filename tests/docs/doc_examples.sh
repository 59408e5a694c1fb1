#!/usr/bin/env bash
# doc_examples.sh BIN_DIR SOURCE_DIR PAGE...: runs the examples of the documentation as a reader would.
#
# Marks, each on its own line before a fenced block (blank lines may come between):
#   <!-- run -->            the next ```sh block runs and must end with status 0
#   <!-- run: exit N -->    ... and must end with status N
#   <!-- output -->         the next ```text block is output of the block run last: each of its lines
#                           appears in that block's stdout or stderr ("..." stands for any text)
#   <!-- file: PATH -->     the next fenced block is the file PATH of the repository, verbatim
# Every other block is only shown (installs, builds, fragments).
#
# The blocks of one page run in order with bash, from a scratch folder that looks like the repository's
# root after `bash scripts/build.sh build`: a copy of examples/, build/bin with copies of the built
# zorhost, relkit-report, plugins/ and resource/, and build/frameworks (the SDK headers). HOME and XDG_CONFIG_HOME point into the scratch
# folder, so the default prefs folder is a scratch one too. A later block may use what an earlier one
# of its page made.
set -uo pipefail
if [ $# -lt 3 ]; then
  echo "usage: doc_examples.sh BIN_DIR SOURCE_DIR PAGE..." >&2
  exit 2
fi
bin=$(realpath "$1")
source_dir=$(realpath "$2")
shift 2
scratch=$(mktemp -d "${TMPDIR:-/tmp}/doc_examples.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
failures=0

fail() {
  echo "FAIL $*" >&2
  failures=$((failures + 1))
}

# Splits a page into numbered files in $2: N.sh with N.status, N.expect, N.file (PATH) with N.shown.
split_page() {
  awk -v out="$2" '
    function problem(what) { printf "%s:%d: %s\n", FILENAME, FNR, what > "/dev/stderr"; bad = 1 }
    function open_block(kind, name) { inblock = kind; target = out "/" name; printf "" > target }
    inblock != "" {
      if ($0 ~ /^```/) { close(target); inblock = ""; next }
      print > target; next
    }
    /^<!-- run -->$/ { if (mark != "") problem("a mark without its block"); mark = "run"; status = 0; next }
    /^<!-- run: exit [0-9]+ -->$/ {
      if (mark != "") problem("a mark without its block")
      mark = "run"; status = $4 + 0; next
    }
    /^<!-- output -->$/ { if (mark != "") problem("a mark without its block"); mark = "output"; next }
    /^<!-- file: [^ ]+ -->$/ {
      if (mark != "") problem("a mark without its block")
      mark = "file"; path = $3; next
    }
    /^```/ {
      if (mark == "run") {
        if ($0 != "```sh") problem("a run mark before a block that is not ```sh")
        ++n; print status > (out "/" n ".status"); close(out "/" n ".status")
        open_block("run", n ".sh")
      } else if (mark == "output") {
        if ($0 != "```text") problem("an output mark before a block that is not ```text")
        if (n == 0) problem("output before any run block")
        open_block("output", n ".expect")
      } else if (mark == "file") {
        ++files; print path > (out "/f" files ".file"); close(out "/f" files ".file")
        open_block("file", "f" files ".shown")
      } else {
        open_block("shown", "ignored")
      }
      mark = ""; next
    }
    NF && mark != "" { problem("a mark not followed by a fenced block"); mark = "" }
    END { if (mark != "") problem("a mark at the end of the page"); exit bad }
  ' "$1"
}

for page in "$@"; do
  [ -f "$source_dir/$page" ] || { fail "$page: no such page"; continue; }
  parts="$scratch/parts/$page"
  mkdir -p "$parts"
  split_page "$source_dir/$page" "$parts" || { fail "$page: the marks are wrong"; continue; }

  for shown in "$parts"/f*.shown; do
    [ -e "$shown" ] || break
    path=$(cat "${shown%.shown}.file")
    cmp -s "$shown" "$source_dir/$path" || fail "$page: the block shown as $path differs from the file"
  done

  work="$scratch/work/$page"
  mkdir -p "$work/build/bin" "$work/home"
  cp -r "$source_dir/examples" "$work/examples"
  cp "$bin/zorhost" "$bin/relkit-report" "$work/build/bin/"
  for folder in plugins resource; do
    [ -d "$bin/$folder" ] && cp -r "$bin/$folder" "$work/build/bin/"
  done
  [ -d "$bin/../frameworks" ] && cp -r "$bin/../frameworks" "$work/build/"

  blocks=$(ls "$parts" | grep -c '\.sh$')
  [ "$blocks" -gt 0 ] || fail "$page: no runnable example"
  for ((i = 1; i <= blocks; ++i)); do
    expected=$(cat "$parts/$i.status")
    (cd "$work" && HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" timeout 300 bash -e -o pipefail \
      "$parts/$i.sh") >"$parts/$i.out" 2>&1
    status=$?
    if [ "$status" -ne "$expected" ]; then
      fail "$page: example $i ended with status $status, not $expected:"
      sed 's/^/    | /' "$parts/$i.sh" >&2
      tail -20 "$parts/$i.out" | sed 's/^/    > /' >&2
      continue
    fi
    [ -f "$parts/$i.expect" ] || continue
    while IFS= read -r line; do
      [ -n "$line" ] || continue
      pattern=$(printf '%s' "$line" | sed -e 's/[][\.*^$+?(){}|/]/\\&/g' -e 's/\\\.\\\.\\\./.*/g')
      grep -qE -- "$pattern" "$parts/$i.out" ||
        fail "$page: example $i does not show: $line"$'\n'"$(tail -20 "$parts/$i.out" | sed 's/^/    > /')"
    done <"$parts/$i.expect"
  done
  echo "$page: $blocks examples run"
done
exit $((failures > 0))
