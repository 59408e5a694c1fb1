#!/usr/bin/env bash
# shards_bench.sh [BUILD_DIR] [SCENES] [SHARDS]
#
# A Renderator comparison run over SCENES tiny scenes (default 1000) in nested folders, once as one run
# and once in SHARDS shards (default 2) run side by side on this machine: split, one zorhost per shard,
# merge. Reports both wall times and the speed-up, what split and merge cost per scene, and the report
# bytes written per scene with and without shards (the Renderator rewrites its whole report after every
# scene; measured with strace in separate runs, so that tracing does not slow the timed ones).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
scenes=${2:-1000}
shards=${3:-2}
zorhost="$build/bin/zorhost"
report="$build/bin/relkit-report"
[ -x "$zorhost" ] && [ -x "$report" ] || { echo "build zorhost and relkit-report into $build first" >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/shards_bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
zorhost=(./"$zorhost" --headless --prefs "$work/prefs" --set g_nexalRelkitTools=true)
mkdir -p "$work/scenes" "$work/prefs"
for ((i = 0; i < scenes; i++)); do
  folder="$work/scenes/group$((i % 7))/sub$((i % 3))"
  mkdir -p "$folder"
  cat > "$folder/case$i.zor" <<EOF
{"zor": 1, "camera": {"position": [0, 2, -6], "target": [0, 0.8, 0], "fov": 40},
 "lights": [{"type": "point", "position": [4, 6, -4], "color": [1, 1, 1], "intensity": 40}],
 "objects": [{"type": "sphere", "center": [0, 1, 0], "radius": $((i % 5 + 1))}],
 "renderSettings": {"5008": 48, "5009": 36, "5300": 0}}
EOF
done

now() { date +%s.%N; }
seconds() { echo "scale=3; ($2 - $1) / 1" | bc; }

"${zorhost[@]}" -renderator "$work/scenes" > /dev/null
mv "$work/scenes/"_renderator_*_1 "$work/base"

start=$(now)
"${zorhost[@]}" -renderator "$work/scenes" "$work/base" > /dev/null
single=$(seconds "$start" "$(now)")

start=$(now)
for ((i = 1; i <= shards; i++)); do
  "$report" split "$work/scenes" --shard "$i/$shards" --into "$work/view-$i" --reference "$work/base" \
    --base-into "$work/base-$i" > /dev/null
done
split_end=$(now)
for ((i = 1; i <= shards; i++)); do
  "${zorhost[@]}" -renderator "$work/view-$i" "$work/base-$i" > "$work/shard-$i.txt" &
done
wait
run_end=$(now)
views=()
for ((i = 1; i <= shards; i++)); do views+=("$work/view-$i"); done
"$report" merge "${views[@]}" --into "$work/scenes/_merged" > /dev/null
end=$(now)
sharded=$(seconds "$start" "$end")
split=$(seconds "$start" "$split_end")
merge=$(seconds "$run_end" "$end")

# One rewrite of the report is one write of it whole, beginning with its header.
report_bytes() {
  strace -f -qq -e trace=write -o "$work/strace.txt" "$@" > /dev/null 2>&1
  awk 'index($0, "Status    Tnew") { total += $NF } END { print total + 0 }' "$work/strace.txt"
}
if command -v strace > /dev/null; then
  one=$(report_bytes "${zorhost[@]}" -renderator "$work/scenes" "$work/base")
  split_bytes=0
  for ((i = 1; i <= shards; i++)); do
    split_bytes=$((split_bytes + $(report_bytes "${zorhost[@]}" -renderator "$work/view-$i" "$work/base-$i")))
  done
  bytes="report bytes written per scene: $((one / scenes)) in one run, $((split_bytes / scenes)) in $shards shards"
else
  bytes="report bytes not measured: strace is not installed"
fi

echo "scenes: $scenes, shards: $shards, processors: $(nproc)"
echo "one run: $single s; $shards shards side by side: $sharded s (split $split s, merge $merge s);" \
  "speed-up $(echo "scale=2; $single / $sharded" | bc)"
echo "split per scene: $(echo "scale=3; $split * 1000000 / $scenes / 1000" | bc) ms over $shards splits;" \
  "merge per scene: $(echo "scale=3; $merge * 1000000 / $scenes / 1000" | bc) ms"
echo "$bytes"
