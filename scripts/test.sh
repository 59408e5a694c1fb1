#!/usr/bin/env bash
# test.sh [--sanitize]: installs what is missing, builds, runs the whole test suite.
# RELKIT_WERROR=ON in the environment (CI sets it) makes compiler warnings errors.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
werror=-DRELKIT_WERROR=${RELKIT_WERROR:-OFF}
if [ "${1:-}" = "--sanitize" ]; then
  bash scripts/build.sh build-asan "$werror" -DRELKIT_SANITIZE=ON -DRELKIT_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1
  ctest --test-dir build-asan --output-on-failure -j "$(nproc)"
else
  bash scripts/build.sh build "$werror"
  ctest --test-dir build --output-on-failure -j "$(nproc)"
fi
