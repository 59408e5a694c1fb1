#!/bin/sh
# Peak memory and time of one image comparison on a 4000 x 3000 pair, and ImageMagick's compare on the
# same two files for scale. The peak is the high-water mark of the comparing process above what it held
# before its new image existed, in units of one image (4000 x 3000 x 3 bytes); the times are loading
# the reference, comparing and saving the difference, least of REPEATS, as wall time and as CPU time
# (the fairer figure on a busy machine; ImageMagick's CPU time sums its threads).
# Then, when GNU time is there, the peak of a whole headless zorhost comparison run over one sample
# scene rendered at 4000 x 3000 (renderer, module and host included), in the same unit.
# usage: bench/compare_memory.sh BUILD_DIR [REPEATS]
set -eu
build=${1:?build folder}
repeats=${2:-5}
here=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/bin/compare_memory" make "$work" 4000 3000
ours=$("$build/bin/compare_memory" run "$work" 4000 3000 "$repeats")
echo "$ours"
wall=$(echo "$ours" | sed -n 's/.*difference: \([0-9.]*\) ms cpu.*/\1/p')
cpu=$(echo "$ours" | sed -n 's/.*difference: .* ms cpu \([0-9.]*\) ms.*/\1/p')

if ! command -v compare > /dev/null 2>&1; then
  echo "ImageMagick compare is not installed: no comparison of times"
  exit 0
fi
# CPU time of the children this shell has waited for, in ms
children_cpu() { awk -v tick="$(getconf CLK_TCK)" '{ print ($16 + $17) * 1000 / tick }' /proc/$$/stat; }
for metric in AE MAE; do
  best_wall=
  best_cpu=
  for run in $(seq "$repeats"); do
    t0=$(date +%s.%N)
    c0=$(children_cpu)
    compare -metric "$metric" "$work/new.tif" "$work/reference.tif" null: > /dev/null 2>&1 || true
    c1=$(children_cpu)
    t1=$(date +%s.%N)
    w=$(echo "($t1 - $t0) * 1000" | bc -l)
    c=$(echo "$c1 - $c0" | bc -l)
    if [ -z "$best_wall" ] || [ "$(echo "$w < $best_wall" | bc)" = 1 ]; then best_wall=$w; fi
    if [ -z "$best_cpu" ] || [ "$(echo "$c < $best_cpu" | bc)" = 1 ]; then best_cpu=$c; fi
  done
  printf 'ImageMagick compare -metric %s: %.1f ms cpu %.1f ms (least of %d); ours / ImageMagick: wall %.2f, cpu %.2f\n' \
    "$metric" "$best_wall" "$best_cpu" "$repeats" "$(echo "$wall / $best_wall" | bc -l)" \
    "$(echo "$cpu / $best_cpu" | bc -l)"
done

if [ ! -x /usr/bin/time ]; then
  echo "GNU time is not installed: no whole-run peak"
  exit 0
fi
mkdir -p "$work/startup" "$work/prefs" "$work/scenes"
sed 's/"5008": 640.0/"5008": 4000.0/; s/"5009": 480.0/"5009": 3000.0/' \
  "$here/examples/scenes/basics/boxes_preview.zor" > "$work/scenes/big.zor"
host="$build/bin/zorhost --startup $work/startup --prefs $work/prefs --module $build/bin/plugins/relkit.zdl64 --headless"
$host -renderator "$work/scenes" > /dev/null
base=$(ls -d "$work/scenes"/_renderator_*_1)
/usr/bin/time -o "$work/time.txt" -f %M $host -renderator "$work/scenes" "$base" > /dev/null
report=$(ls -d "$work/scenes"/_renderator_*_2)/_result.txt
awk -v kb="$(cat "$work/time.txt")" 'NR == 2 {
  printf "whole comparison run at 4000 x 3000: status %s, peak %.1f MB = %.2f images\n",
         $2, kb / 1024, kb * 1024 / (4000 * 3000 * 3) }' "$report"
