# Sourced by the crash benchmarks: their work folder, a tiny scene, and which scenes of a folder crash
# where.

scene() {  # $1 faults JSON or empty
  local faults=""
  [ -n "$1" ] && faults=", \"faults\": $1"
  cat <<JSON
{ "zor": 1, "renderSettings": { "5008": 32.0, "5009": 24.0, "5300": 0 },
  "camera": { "position": [0, 2, -6], "target": [0, 0, 0], "fov": 40 },
  "lights": [ { "type": "point", "position": [4, 6, -4], "color": [1, 1, 1], "intensity": 40 } ],
  "objects": [ { "type": "sphere", "center": [0, 1, 0], "radius": 1 } ]$faults }
JSON
}

# crashes[i] for CRASHING distinct random positions below SCENES (seeded through RANDOM), each
# crashing while loading, in its preview render or in its full render
declare -A crashes=()
pick_crashes() {  # SCENES CRASHING
  local places=(load render fullRender)
  while [ ${#crashes[@]} -lt "$2" ]; do
    crashes[$((RANDOM % $1))]=${places[$((RANDOM % 3))]}
  done
}

# The benchmark's work folder $work, removed on exit, with the given sub-folders; then the crashing
# scenes picked with the seed.
crash_bench_setup() {  # SEED SCENES CRASHING SUBFOLDER...
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  RANDOM=$1
  pick_crashes "$2" "$3"
  shift 3
  for folder in "$@"; do mkdir -p "$work/$folder"; done
}
