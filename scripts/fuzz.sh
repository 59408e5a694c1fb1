#!/usr/bin/env bash
# fuzz.sh [SECONDS_PER_TARGET] [TARGET...]: builds the fuzz targets with clang and libFuzzer (with the
# address and undefined-behaviour sanitizers) into build-fuzz and runs each target, one after the other,
# for the given time (default 60 s), seeded with its committed corpus tests/fuzz/corpus/TARGET.
# Targets: scene_json ui_script script_compiler expression url header_symbols script_strings
# report_result report_tiff report_history report_thresholds shard_manifest (default: all).
#
# New corpus entries and the inputs that failed go below out/fuzz (FUZZ_OUT), never into the repository.
# FUZZ_UPDATE_CORPUS=1 merges the new entries that add coverage into tests/fuzz/corpus afterwards.
# FUZZ_MAX_LEN (default 8192) limits the length of generated inputs; longer seeds are still replayed by
# ctest. FUZZ_FLAGS adds libFuzzer options (e.g. -malloc_limit_mb=256 to report large allocations).
# FUZZ_BUILD_DIR overrides build-fuzz.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
all=(scene_json ui_script script_compiler expression url header_symbols script_strings report_result report_tiff
     report_history report_thresholds shard_manifest)
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=("${all[@]}")
for t in "${targets[@]}"; do
  [ -d "tests/fuzz/corpus/$t" ] || { echo "fuzz.sh: unknown target $t (known: ${all[*]})" >&2; exit 2; }
done

bash scripts/install-deps.sh --fuzz
build=${FUZZ_BUILD_DIR:-build-fuzz}
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DRELKIT_FUZZ=ON -DRELKIT_BENCH=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" >/dev/null
cmake --build "$build" -j "$(nproc)" --target $(printf 'fuzz_%s ' "${targets[@]}")

out=$(realpath -m "${FUZZ_OUT:-out/fuzz}")
status=0
for t in "${targets[@]}"; do
  mkdir -p "$out/$t/corpus" "$out/$t/crashes"
  echo "== $t: ${seconds}s"
  # Output of the readers (console lines) is closed away; libFuzzer's own report stays on stderr.
  if ! ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
    "$build/bin/fuzz_$t" "$out/$t/corpus" "tests/fuzz/corpus/$t" -max_total_time="$seconds" \
      -max_len="${FUZZ_MAX_LEN:-8192}" -timeout=20 -rss_limit_mb=2048 -close_fd_mask=1 \
      -artifact_prefix="$out/$t/crashes/" -print_final_stats=1 ${FUZZ_FLAGS:-} 2>"$out/$t/log.txt"; then
    status=1
    echo "   FAILED: see $out/$t/log.txt and $out/$t/crashes/"
  fi
  grep -E '^stat::(number_of_executed_units|new_units_added)|^Done|^INFO: seed corpus|SUMMARY' \
    "$out/$t/log.txt" | sed 's/^/   /' || true
  echo "   corpus: $(find "$out/$t/corpus" -type f | wc -l) new entries in $out/$t/corpus"
  if [ "${FUZZ_UPDATE_CORPUS:-0}" = 1 ]; then
    "$build/bin/fuzz_$t" -merge=1 -close_fd_mask=1 "tests/fuzz/corpus/$t" "$out/$t/corpus" 2>/dev/null
  fi
done
exit $status
