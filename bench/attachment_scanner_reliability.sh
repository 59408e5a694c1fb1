#!/usr/bin/env bash
# attachment_scanner_reliability.sh [BUILD_DIR] [SCENES] [CRASHING] [SEED]
#
# How the Attachment Scanner copes with a folder in which some scenes crash the host: generates SCENES
# scenes (default 50), CRASHING of them (default 5) crash at a random point (while loading, in the
# preview render or in the full render), then runs the command headless again and again as a user would: after every crash the
# scene named last on the console is moved away, and the command is started again. Reports how many
# runs it took until every other scene was finished, whether any finished image was written twice,
# and whether any finished image was lost or unreadable.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
scenes=${2:-50}
crashing=${3:-5}
seed=${4:-1}
zorhost="$build/bin/zorhost"
module=$(find "$build" -name relkit.zdl64 -print -quit)
[ -x "$zorhost" ] && [ -n "$module" ] || { echo "build zorhost and relkit into $build first" >&2; exit 2; }

. bench/crash_scenes.sh
crash_bench_setup "$seed" "$scenes" "$crashing" scenes moved prefs startup
for ((i = 0; i < scenes; i++)); do
  folder="$work/scenes/group$((i % 7))/case$i"
  mkdir -p "$folder"
  faults=""
  [ -n "${crashes[$i]:-}" ] && faults="{ \"crash\": \"${crashes[$i]}\" }"
  scene "$faults" > "$folder/scene.zor"
done

results="$work/results"
cat > "$work/ui.json" <<EOF
[ { "dialog": { "set": [[1000, "$work/scenes"], [1001, "$results"]], "press": "ok" } } ]
EOF

# finished images (both of a scene) with their identity, to tell a rewrite from the first write
declare -A seen=()
rewritten=0
runs=0
crashed=0
start=$(date +%s.%N)
while :; do
  runs=$((runs + 1))
  set +e
  # in a subshell of its own, whose note on the signal that ended zorhost is not wanted here
  ("$zorhost" --startup "$work/startup" --prefs "$work/prefs" --module "$module" \
    --set g_nexalRelkitTools=true --headless --allow-faults --ui "$work/ui.json" \
    --command "Attachment Scanner" > "$work/out.txt" 2> "$work/err.txt"; exit $?) 2> /dev/null
  status=$?
  set -e
  for image in "$results"/*.tif; do
    [ -e "$image" ] || continue
    id=$(stat -c '%i %Y' "$image")
    if [ -n "${seen[$image]:-}" ] && [ "${seen[$image]}" != "$id" ]; then rewritten=$((rewritten + 1)); fi
    seen[$image]=$id
  done
  if [ $status -eq 0 ]; then break; fi
  crashed=$((crashed + 1))
  last=$(grep -o 'Processing file .*\.\.\.$' "$work/out.txt" | tail -1 | sed 's/^Processing file //; s/\.\.\.$//')
  [ -n "$last" ] || { echo "run $runs ended with status $status and named no scene" >&2; cat "$work/err.txt" >&2; exit 1; }
  mkdir -p "$work/moved/$runs"
  mv "$last" "$work/moved/$runs/"
  [ $runs -le $((crashing + 5)) ] || { echo "too many runs" >&2; exit 1; }
done
end=$(date +%s.%N)

missing=0
unreadable=0
while IFS= read -r file; do
  tag="$(basename "$(dirname "$file")").$(basename "$file")"
  for image in "$results/$tag.soft.tif" "$results/$tag.tif"; do
    if [ ! -e "$image" ]; then missing=$((missing + 1));
    elif ! identify "$image" > /dev/null 2>&1; then unreadable=$((unreadable + 1)); fi
  done
done < <(find "$work/scenes" -name '*.zor')

echo "scenes: $scenes, crashing: $crashing (seed $seed)"
echo "runs until every other scene was finished: $runs ($crashed ended by a crash)"
echo "finished images written again by a later run: $rewritten"
echo "images of finished scenes missing: $missing, unreadable: $unreadable"
echo "report rows: $(($(wc -l < "$results/_result.txt") - 1)), wall time: $(echo "$end - $start" | bc) s"
