#!/usr/bin/env bash
# sample.sh [OUT_DIR]: installs what is missing, builds, and runs the Renderator on the bundled sample
# scenes twice: a build run that makes a comparison base, then a comparison run against it. Then it
# builds the distribution files (the compiled GUI script and the symbol header) in the start-up folder,
# and last judges the comparison with relkit-report, which writes the page _report.html.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh build

out=$(realpath -m "${1:-out/sample}")
rm -rf "$out" && mkdir -p "$out/prefs"
# The run writes its result folders below the scene folder, so it works on a copy of the samples.
cp -r examples/scenes "$out/scenes"
zorhost=(./build/bin/zorhost --prefs "$out/prefs" --headless --set g_nexalRelkitTools=true)

echo "== building the comparison base from $out/scenes"
"${zorhost[@]}" -renderator "$out/scenes"
base=$(ls -d "$out/scenes"/_renderator_*_1)

echo "== comparing against $base"
"${zorhost[@]}" -renderator "$out/scenes" "$base"
result=$(ls -d "$out/scenes"/_renderator_*_2)

echo
cat "$result/_result.txt"
echo
echo "comparison base: $base"
echo "report:          $result/_result.txt"
echo "images:          $result/NNNN.tif, differences $result/NNNNd.tif"

echo
echo "== building the distribution files"
"${zorhost[@]}" -createdistribution
echo "distribution:    build/bin/resource/gui.tpb, build/bin/resource/tarponsymbols.h"

echo
echo "== judging the comparison"
status=0
./build/bin/relkit-report check "$result" --reference "$base" || status=$?
if [ $status -ne 2 ]; then
  echo "page:            $result/_report.html"
  echo "CI results:      $result/_junit.xml, $result/_summary.json"
fi
exit $status
