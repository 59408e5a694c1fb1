#!/usr/bin/env bash
# tidy.sh [BUILD_DIR]: checks the naming style of .clang-tidy over the project's own sources (host,
# frameworks, source, tools) with the compile commands of BUILD_DIR (default build, configured by
# scripts/build.sh); every finding is an error and fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build}
db="$dir/compile_commands.json"
if [ ! -f "$db" ]; then
  echo "tidy.sh: $db is missing: configure the build first (bash scripts/build.sh $dir)" >&2
  exit 2
fi
filter="^$(pwd)/(host|frameworks|source|tools)/"
if command -v run-clang-tidy >/dev/null; then
  run-clang-tidy -quiet -p "$dir" -j "$(nproc)" "$filter"
else
  python3 - "$db" "$filter" <<'PY' | xargs -0 -r -n 1 -P "$(nproc)" clang-tidy --quiet -p "$dir"
import json, re, sys
files = sorted({e["file"] for e in json.load(open(sys.argv[1])) if re.search(sys.argv[2], e["file"])})
sys.stdout.write("".join(f + "\0" for f in files))
PY
fi
