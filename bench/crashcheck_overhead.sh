#!/usr/bin/env bash
# crashcheck_overhead.sh [BUILD_DIR] [SCENES] [CRASHING] [SEED]
#
# What relkit-crashcheck adds to the Attachment Scanner's own work: generates SCENES tiny scenes
# (default 500) in nested folders, CRASHING of them (default 25) crashing while loading, in the
# preview render or in the full render. First the scanner alone renders the ordinary scenes (a copy
# of the folder without the crashing ones), then relkit-crashcheck runs over the whole folder.
# Reports both wall times, the supervisor's cost per crash (a zorhost restart, the scanner's skip of
# the finished scenes, and the crashing scene's second run alone) and per scene.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
scenes=${2:-500}
crashing=${3:-25}
seed=${4:-1}
zorhost="$build/bin/zorhost"
crashcheck="$build/bin/relkit-crashcheck"
module=$(find "$build" -name relkit.zdl64 -print -quit)
[ -x "$zorhost" ] && [ -x "$crashcheck" ] && [ -n "$module" ] ||
  { echo "build zorhost, relkit-crashcheck and relkit into $build first" >&2; exit 2; }

. bench/crash_scenes.sh
crash_bench_setup "$seed" "$scenes" "$crashing" all ordinary prefs startup
for ((i = 0; i < scenes; i++)); do
  relative="group$((i % 7))/sub$((i % 3))/case$i"
  mkdir -p "$work/all/$relative"
  if [ -n "${crashes[$i]:-}" ]; then
    scene "{ \"crash\": \"${crashes[$i]}\" }" > "$work/all/$relative/scene.zor"
  else
    scene "" > "$work/all/$relative/scene.zor"
    mkdir -p "$work/ordinary/$relative"
    cp "$work/all/$relative/scene.zor" "$work/ordinary/$relative/"
  fi
done
host_options=(--startup "$work/startup" --prefs "$work/prefs" --module "$module" --allow-faults)

cat > "$work/ui.json" <<EOF
[ { "dialog": { "set": [[1000, "$work/ordinary"], [1001, "$work/scanner-results"]], "press": "ok" } } ]
EOF
start=$(date +%s.%N)
"$zorhost" "${host_options[@]}" --set g_nexalRelkitTools=true --headless --ui "$work/ui.json" \
  --command "Attachment Scanner" > "$work/scanner.txt" 2>&1
middle=$(date +%s.%N)
set +e
"$crashcheck" run "$work/all" --reference "$work/crashcheck-results" --timeout 60 --zorhost "$zorhost" \
  -- "${host_options[@]}" > "$work/crashcheck.txt" 2> "$work/crashcheck-err.txt"
status=$?
set -e
end=$(date +%s.%N)
[ $status -le 1 ] || { echo "relkit-crashcheck ended with status $status" >&2; tail -3 "$work/crashcheck-err.txt" >&2; exit 1; }

scanner=$(echo "$middle - $start" | bc)
total=$(echo "$end - $middle" | bc)
starts=$(grep -c 'Processing file' "$work/crashcheck.txt" || true)
echo "scenes: $scenes, crashing: $crashing (seed $seed)"
echo "the scanner alone over the $((scenes - crashing)) ordinary scenes: $scanner s"
echo "relkit-crashcheck over all $scenes: $total s (status $status, $starts scene starts)"
echo "$(tail -1 "$work/crashcheck.txt")"
echo "added per crash: $(echo "scale=3; ($total - $scanner) / $crashing" | bc) s;" \
  "per scene: $(echo "scale=4; ($total - $scanner) / $scenes" | bc) s"
