#!/bin/sh
# Peak memory and time of one image comparison on a 4000 x 3000 pair, and ImageMagick's compare on the
# same two files for scale. The peak is the high-water mark of the comparing process above what it held
# before its new image existed, in units of one image (4000 x 3000 x 3 bytes); the time is loading the
# reference, comparing and saving the difference, best of REPEATS.
# usage: bench/compare_memory.sh BUILD_DIR [REPEATS]
set -eu
build=${1:?build folder}
repeats=${2:-5}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/bin/compare_memory" make "$work" 4000 3000
ours=$("$build/bin/compare_memory" run "$work" 4000 3000 "$repeats")
echo "$ours"
ms=$(echo "$ours" | sed -n 's/.*difference: \([0-9.]*\) ms.*/\1/p')

if ! command -v compare > /dev/null 2>&1; then
  echo "ImageMagick compare is not installed: no comparison of times"
  exit 0
fi
now() { date +%s.%N; }
for metric in AE MAE; do
  best=
  for run in $(seq "$repeats"); do
    t0=$(now)
    compare -metric "$metric" "$work/new.tif" "$work/reference.tif" null: 2> /dev/null || true
    t1=$(now)
    t=$(echo "($t1 - $t0) * 1000" | bc)
    if [ -z "$best" ] || [ "$(echo "$t < $best" | bc)" = 1 ]; then best=$t; fi
  done
  printf 'ImageMagick compare -metric %s: %.1f ms (best of %d); ours / ImageMagick %.2f\n' \
    "$metric" "$best" "$repeats" "$(echo "$ms / $best" | bc -l)"
done
