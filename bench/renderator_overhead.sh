#!/bin/sh
# The Renderator's own time per scene on the sample scenes: the wall time of a headless build run,
# less the time of a zorhost run that renders nothing, less the render times in its report, divided
# by the number of scenes. What remains is loading, the warm-up render, saving and the report.
# usage: bench/renderator_overhead.sh BUILD_DIR [RUNS]
set -eu
build=${1:?build folder}
runs=${2:-3}
here=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/startup" "$work/prefs"
host="$build/bin/zorhost --startup $work/startup --prefs $work/prefs --module $build/bin/plugins/relkit.zdl64 --headless"

now() { date +%s.%N; }
for run in $(seq "$runs"); do
  rm -rf "$work/scenes" && cp -r "$here/examples/scenes" "$work/scenes"
  t0=$(now); $host > /dev/null; t1=$(now)
  $host -renderator "$work/scenes" > /dev/null; t2=$(now)
  report=$(ls -d "$work/scenes"/_renderator_*_1)/_result.txt
  awk -v empty="$(echo "$t1 - $t0" | bc)" -v full="$(echo "$t2 - $t1" | bc)" '
    NR > 1 { scenes++; render += $3 }
    END { printf "scenes %d  run %.3f s  empty host %.3f s  render %.2f s  overhead per scene %.1f ms\n",
                 scenes, full, empty, render, (full - empty - render) * 1000 / scenes }' "$report"
done
