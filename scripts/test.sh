#!/usr/bin/env bash
# test.sh [--sanitize | --tsan] [ctest options]: installs what is missing, builds, runs the whole test
# suite (or the tests the ctest options choose, e.g. -L threads).
# RELKIT_WERROR=ON in the environment (CI sets it) makes compiler warnings errors.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
werror=-DRELKIT_WERROR=${RELKIT_WERROR:-OFF}
mode=${1:-}
case "$mode" in --sanitize | --tsan) shift ;; *) mode= ;; esac
if [ "$mode" = "--sanitize" ]; then
  bash scripts/build.sh build-asan "$werror" -DRELKIT_SANITIZE=ON -DRELKIT_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1
  ctest --test-dir build-asan --output-on-failure -j "$(nproc)" "$@"
elif [ "$mode" = "--tsan" ]; then
  bash scripts/build.sh build-tsan "$werror" -DRELKIT_TSAN=ON -DRELKIT_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug
  # A report stops the process with exit code 66, which fails the test that ran it. Every report is also
  # written to a file of its own below build-tsan/tsan-reports: a zorhost started by a test that expects
  # it to fail (a crash, a hang, a refused command), or by relkit-crashcheck, would otherwise hide one.
  reports=$PWD/build-tsan/tsan-reports
  rm -rf "$reports" && mkdir -p "$reports"
  export TSAN_OPTIONS="halt_on_error=1:exitcode=66:second_deadlock_stack=1:log_path=$reports/report"
  status=0
  ctest --test-dir build-tsan --output-on-failure -j "$(nproc)" "$@" || status=$?
  if [ -n "$(ls -A "$reports")" ]; then
    for f in "$reports"/*; do
      echo "=== $f" && cat "$f"
    done
    echo "test.sh: the thread sanitizer reported in the files above" >&2
    status=1
  fi
  exit $status
else
  bash scripts/build.sh build "$werror"
  ctest --test-dir build --output-on-failure -j "$(nproc)" "$@"
fi
