# Sourced by the relkit-report benchmarks: report_results BUILD COUNT WIDTH HEIGHT builds relkit-report
# and its result generator, makes a work folder (removed at exit) with COUNT synthetic scenes of WIDTH x
# HEIGHT, their comparison base and a result, and sets work, base and result.
report_results() {
  cmake --build "$1" --target relkit-report relkit_report_make_results -j2 >/dev/null
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  "$1/bin/relkit_report_make_results" "$work" "$2" "$3" "$4"
  base="$work/scenes/_renderator_16.050_1"
  result="$work/scenes/_renderator_16.050_2"
}
