#!/usr/bin/env bash
# ui_server_bench.sh [BUILD_DIR] [CLICKS] [ROWS]
#
# zorhost's browser page on loopback in headless Chromium (bench/ui_server_bench.mjs says what is
# measured): click → updated dialog over CLICKS clicks (default 100), the I/O browser's tree of ROWS
# empty files (default 100000) listed and scrolled to its end, and zorhost's memory with and without
# the page. Needs playwright-core (scripts/install-deps.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
zorhost="$build/bin/zorhost"
module=$(find "$build" -name relkit.zdl64 -print -quit)
[ -x "$zorhost" ] && [ -n "$module" ] || { echo "build zorhost and relkit into $build first" >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/ui_server_bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
rows=${3:-100000}
mkdir -p "$work/tree" "$work/tmp"
(cd "$work/tree" && seq -f 'f%06g' 1 "$rows" | xargs touch)
ZORHOST=$(realpath "$zorhost") RELKIT_MODULE=$(realpath "$module") RELKIT_SOURCE_DIR=$PWD \
  BROWSER_ARTIFACTS="$work/artifacts" TMPDIR="$work/tmp" CLICKS=${2:-100} ROWS=$rows TREE_FOLDER="$work/tree" \
  node bench/ui_server_bench.mjs
