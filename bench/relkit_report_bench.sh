#!/usr/bin/env bash
# relkit_report_bench.sh [BUILD_DIR] [COUNT] [CHECK OPTION...]: times `relkit-report check` (with the
# options given, --ssim say) over COUNT synthetic scenes of 640 x 480 (pictures included, both
# processors), and ImageMagick's `compare` run once per scene on the same pairs (two at a time, so it
# also has both processors; RELKIT_BENCH_CHECK_ONLY=1 leaves it out). Prints seconds in total and per
# scene.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
count=${2:-1000}
shift 2 || shift $#
. bench/report_results.sh
report_results "$build" "$count" 640 480
sync

start=$(date +%s.%N)
/usr/bin/time -f '%U %S' -o "$work/report.cpu" "$build/bin/relkit-report" check "$result" --reference "$base" \
  "$@" >/dev/null || [ $? -eq 1 ]
end=$(date +%s.%N)
report=$(echo "$end - $start" | bc -l)

printf 'scenes %d at 640 x 480, check options: %s\n' "$count" "${*:-none}"
printf 'relkit-report check: %.2f s, %.1f ms per scene\n' "$report" "$(echo "$report * 1000 / $count" | bc -l)"
# processor seconds (user + system), which a machine shared with other work disturbs less than the clock
cpu() { tail -1 "$1" | { read -r user system && echo "$user + $system" | bc -l; }; }
printf 'processor time: relkit-report %.2f s\n' "$(cpu "$work/report.cpu")"
[ "${RELKIT_BENCH_CHECK_ONLY:-0}" = 1 ] && exit 0

mkdir -p "$work/im"
start=$(date +%s.%N)
seq -f "%04g" 1 "$count" | /usr/bin/time -f '%U %S' -o "$work/magick.cpu" xargs -P 2 -I{} sh -c \
  'compare -metric AE -fuzz 4% "$0/{}.tif" "$1/{}.tif" "$2/{}.png" 2>/dev/null || true' "$result" "$base" "$work/im"
end=$(date +%s.%N)
magick=$(echo "$end - $start" | bc -l)

printf 'compare per scene:   %.2f s, %.1f ms per scene\n' "$magick" "$(echo "$magick * 1000 / $count" | bc -l)"
printf 'ratio compare / relkit-report: %.2f\n' "$(echo "$magick / $report" | bc -l)"
printf 'processor time: relkit-report %.2f s, compare %.2f s\n' "$(cpu "$work/report.cpu")" "$(cpu "$work/magick.cpu")"
