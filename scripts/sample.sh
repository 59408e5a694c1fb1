#!/usr/bin/env bash
# sample.sh: installs what is missing, builds, and runs zorhost with relkit on the bundled samples.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh build
prefs=$(mktemp -d)
./build/bin/zorhost --prefs "$prefs" --headless --set g_nexalRelkitTools=true
