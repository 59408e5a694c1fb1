#!/usr/bin/env bash
# relkit_report_page_bench.sh [BUILD_DIR] [COUNT]: over COUNT synthetic scenes of 640 x 480 (every tenth
# fails), times `relkit-report check` without full-size images and with them for the scenes that need
# them (the default), then opens the page in headless Chromium and prints what the page measured of
# itself: its script, its first frame, all thumbnails loaded, and the slowest of four filter switches.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
count=${2:-1000}
. bench/report_results.sh
report_results "$build" "$count" 640 480
sync

# seconds by the clock, then processor seconds (user + system), which other work on the machine disturbs less
check() {
  local start end
  start=$(date +%s.%N)
  /usr/bin/time -f '%U %S' -o "$work/cpu" "$build/bin/relkit-report" check "$result" --reference "$base" "$@" \
    >/dev/null || [ $? -eq 1 ]
  end=$(date +%s.%N)
  echo "$end - $start" | bc -l
  tail -1 "$work/cpu" | { read -r user system && echo "$user + $system" | bc -l; }
}
printf 'scenes %d at 640 x 480\n' "$count"
for which in none needed; do
  { read -r seconds && read -r cpu; } < <(check --full-images "$which")
  printf 'check --full-images %-6s %.2f s (processor %.2f s), %.1f ms per scene, _report_files %s\n' "$which" \
    "$seconds" "$cpu" "$(echo "$seconds * 1000 / $count" | bc -l)" "$(du -sh "$result/_report_files" | cut -f1)"
done

profile="$work/chromium"
dom=$(XDG_CONFIG_HOME="$profile" chromium --headless --no-sandbox --disable-gpu --user-data-dir="$profile" \
  --window-size=1400,1000 --dump-dom "file://$result/_report.html?selftest" 2>/dev/null)
echo "$dom" | grep -o '<pre id="selftest">[^<]*' | sed -e 's/^<pre id="selftest">//' -e 's/&quot;/"/g' |
  python3 -c '
import json, sys
r = json.load(sys.stdin)
t = r["timing"]
print("page: %d rows, %d of %d thumbnails loaded" % (r["rows"], r["imagesLoaded"], r["images"]))
ms = lambda v: "-" if v is None else "%.0f" % v
print("page: script %s ms, first frame %s ms, first paint %s ms, all thumbnails loaded %s ms, filter %.1f ms" % (
    ms(t["script"]), ms(t["firstFrame"]), ms(t["firstPaint"]), ms(t["loaded"]), t["filterMs"]))'
