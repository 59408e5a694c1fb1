#!/usr/bin/env bash
# relkit_report_memory.sh [BUILD_DIR] [LINES]: peak memory of `relkit-report check` on hostile input:
# a reference report of LINES lines against a one-scene result, and four 136-byte TIFFs that claim
# 11585 x 11585 pixels each, read with --jobs 4. Prints the peak resident size of each run.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
lines=${2:-1000000}
. bench/report_results.sh
report_results "$build" 4 64 48
peak() { /usr/bin/time -f '%M' -o "$work/peak" "$@" >/dev/null 2>&1 || true; tail -1 "$work/peak"; }

# the base's report repeated to LINES lines; the result keeps its first scene only
head -1 "$base/_result.txt" >"$work/reference.txt"
awk -v n="$lines" -v name="$(sed -n 2p "$base/_result.txt" | cut -c61-)" \
  'BEGIN { for (i = 1; i <= n; i++) printf "%-10d%-10s%-10s%30s%s\n", i, "CREATED", "1.00", "", name }' \
  >>"$work/reference.txt"
mv "$work/reference.txt" "$base/_result.txt"
head -2 "$result/_result.txt" >"$work/result.txt" && mv "$work/result.txt" "$result/_result.txt"
printf 'long reference (%d lines): %s KB\n' "$lines" \
  "$(peak "$build/bin/relkit-report" check "$result" --reference "$base")"

# little-endian TIFF header, nine IFD entries (size, 8-bit grey, uncompressed, one strip of 14 bytes)
lying() {
  printf 'II*\0\10\0\0\0\11\0'
  local entry
  for entry in '\0\1\4\0\1\0\0\0\101\55\0\0' '\1\1\4\0\1\0\0\0\101\55\0\0' '\2\1\3\0\1\0\0\0\10\0\0\0' \
    '\3\1\3\0\1\0\0\0\1\0\0\0' '\6\1\3\0\1\0\0\0\1\0\0\0' '\21\1\4\0\1\0\0\0\172\0\0\0' \
    '\25\1\3\0\1\0\0\0\1\0\0\0' '\26\1\4\0\1\0\0\0\101\55\0\0' '\27\1\4\0\1\0\0\0\16\0\0\0'; do
    printf "$entry"
  done
  printf '\0\0\0\0%014d' 0
}
# the new images of a comparison against the first four lines of that base
"$build/bin/relkit_report_make_results" "$work/tiff" 4 64 48
for n in 1 2 3 4; do lying >"$work/tiff/scenes/_renderator_16.050_2/000$n.tif"; done
printf 'four lying TIFFs, --jobs 4: %s KB\n' "$(peak "$build/bin/relkit-report" check \
  "$work/tiff/scenes/_renderator_16.050_2" --reference "$work/tiff/scenes/_renderator_16.050_1" --jobs 4)"
