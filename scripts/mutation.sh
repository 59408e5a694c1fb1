#!/usr/bin/env bash
# mutation.sh [--build DIR] [--only ID,ID] [--list]: puts each mutant of tests/mutation/mutants.txt into
# the tree in turn, builds DIR (default build-mutation), runs the suite and tells which test noticed it.
# Lines "ID killed by TEST", "ID survived" or "ID does not build" go to DIR/mutation.txt. The mutated file
# is put back from a copy after each mutant, also on Ctrl-C or an error, so uncommitted work is safe.
# To save time the unit tests run first in one process, stopping at their first failure; a failure there
# counts once ctest confirms it, and a mutant they all pass gets the whole suite.
# Exit status: 0 when every mutant ran (survivors are information), 1 on an error of the list, 2 when the
# unmutated tree does not build or does not pass.
set -uo pipefail
shopt -u patsub_replacement 2>/dev/null || true
export LC_ALL=C
cd "$(dirname "$0")/.." || exit 2
list=tests/mutation/mutants.txt
dir=build-mutation
only=""
list_only=0
while (($#)); do
  case $1 in
    --build) dir=${2:?--build needs a folder}; shift 2 ;;
    --only) only=,${2:?--only needs mutant ids},; shift 2 ;;
    --list) list_only=1; shift ;;
    *) echo "usage: $0 [--build DIR] [--only ID,ID] [--list]" >&2; exit 2 ;;
  esac
done

# The list: blocks of "key: value" lines.
ids=() files=() froms=() tos=() seen=" " errors=0
list_error() { echo "$list: $*" >&2; errors=1; }
number=0 id="" file="" from="" to="" have_from=0 have_to=0
finish_entry() {
  if [[ -n $id ]]; then
    if [[ -z $file || $have_from == 0 || $have_to == 0 || -z $from ]]; then
      list_error "mutant $id needs a file, a non-empty \"from:\" and a \"to:\""
    elif [[ $seen == *" $id "* ]]; then
      list_error "mutant $id is listed twice"
    elif [[ -z $only || $only == *",$id,"* ]]; then
      ids+=("$id") files+=("$file") froms+=("$from") tos+=("$to")
    fi
    seen+="$id "
  fi
  id="" file="" from="" to="" have_from=0 have_to=0
}
while IFS= read -r line || [[ -n $line ]]; do
  ((++number))
  case $line in
    '#'*) ;;
    '') finish_entry ;;
    'id: '*) [[ -n $id ]] && finish_entry; id=${line#id: } ;;
    'file: '*) file=${line#file: } ;;
    'from: '*) from=${line#from: } have_from=1 ;;
    'to: '* | 'to:') to=${line#to:} to=${to# } have_to=1 ;;
    'why: '*) ;;
    *) list_error "line $number: not \"id:\", \"file:\", \"from:\", \"to:\" or \"why:\": $line" ;;
  esac
done <"$list"
finish_entry
[[ -n $only ]] && for wanted in ${only//,/ }; do
  [[ " ${ids[*]} " == *" $wanted "* ]] || list_error "no mutant $wanted"
done

# Each mutant must apply: its snippet exactly once in its file.
for i in "${!ids[@]}"; do
  if [[ ! -f ${files[i]} ]]; then
    echo "${ids[i]} does not apply: no file ${files[i]}"; errors=1; continue
  fi
  IFS= read -r -d '' content <"${files[i]}"
  rest=${content//"${froms[i]}"/}
  count=$(((${#content} - ${#rest}) / ${#froms[i]}))
  if ((count != 1)); then
    echo "${ids[i]} does not apply: its text occurs $count times in ${files[i]}"; errors=1
  elif ((list_only)); then
    echo "${ids[i]} ${files[i]}: ${froms[i]}  ->  ${tos[i]}"
  fi
done
((errors || list_only)) && exit "$errors"

# The mutated file is put back from its copy whatever ends the script; `cat >` keeps the file and gives it
# a new time, so that the next build compiles it again.
backup="" target=""
restore() {
  if [[ -n $target ]]; then cat "$backup" >"$target" && rm -f "$backup"; fi
  target=""
}
trap restore EXIT
trap 'restore; exit 130' INT TERM

mkdir -p "$dir" && dir=$(cd "$dir" && pwd) || exit 2
if [[ ! -f $dir/CMakeCache.txt ]]; then
  cmake -S . -B "$dir" -G Ninja -DRELKIT_BENCH=OFF \
    ${CMAKE_CXX_COMPILER_LAUNCHER:+-DCMAKE_CXX_COMPILER_LAUNCHER=$CMAKE_CXX_COMPILER_LAUNCHER} \
    ${CMAKE_C_COMPILER_LAUNCHER:+-DCMAKE_C_COMPILER_LAUNCHER=$CMAKE_C_COMPILER_LAUNCHER} >/dev/null || exit 2
fi
log=$dir/mutation.log
tmp=$dir/test-tmp
jobs=$(nproc)

# Runs the unit test program in one process (seconds, where ctest takes a minute with its process per test);
# prints the tests that failed, or the one that was running when the program died.
# Tests that fail in the shared process even unmutated ($exclude) are left to ctest.
exclude=""
run_unit() {
  local out=$dir/mutation-unit.out names
  cmake -DDIR="$tmp" -DMODE=prepare -P tests/temp_folder.cmake >/dev/null 2>&1
  (cd "$dir/tests" && TMPDIR=$tmp XDG_CONFIG_HOME=$tmp/config timeout 600 "$dir/bin/relkit_unit_tests" \
    "$@" --gtest_filter="-$exclude" >"$out" 2>&1) && return
  names=$(sed -n 's/^\[  FAILED  \] \([^ ,]*\)\(, where.*\)*$/\1/p' "$out")
  [[ -n $names ]] || names=$(sed -n 's/^\[ RUN      \] //p' "$out" | tail -n 1)
  echo "$names"
}

# Runs ctest (extra arguments narrow it down); prints the first failed test, nothing when all passed.
run_ctest() {
  local out
  out=$(ctest --test-dir "$dir" --stop-on-failure -j"$jobs" --timeout 300 "$@" 2>&1)
  local status=$?
  echo "$out" >>"$log"
  ((status == 0)) && return
  sed -n 's/^[[:space:]]*[0-9]* - \(.*\) (.*)$/\1/p' <<<"$out" | head -n 1 | grep . || echo "(ctest)"
}

# The test that fails, nothing when the whole suite passes: what a whole ctest run decides.
failing_test() {
  local failed
  failed=$(run_unit --gtest_fail_fast | head -n 1)
  # a failure counts once ctest sees it on its own; the whole suite decides the rest
  if [[ -n $failed ]] && [[ -n $(run_ctest -R "^$(sed 's/[][\\.*^$+?(){}|]/\\&/g' <<<"$failed")\$") ]]; then
    echo "$failed"
  else
    run_ctest
  fi
}

: >"$log"
echo "mutation: building $dir and running the unmutated suite"
if ! cmake --build "$dir" >>"$log" 2>&1; then
  echo "mutation: $dir does not build without mutants (see $log)" >&2; exit 2
fi
exclude=$(run_unit | tr '\n' :)
if failed=$(run_ctest) && [[ -n $failed ]]; then
  echo "mutation: the unmutated suite fails ($failed; see $log)" >&2; exit 2
fi

results=$dir/mutation.txt
: >"$results"
killed=0 survived=0
for i in "${!ids[@]}"; do
  start=$SECONDS
  backup=$dir/mutation-backup target=${files[i]}
  cp "$target" "$backup" || exit 2
  IFS= read -r -d '' content <"$target"
  printf '%s' "${content/"${froms[i]}"/"${tos[i]}"}" >"$target"
  if ! cmake --build "$dir" >>"$log" 2>&1; then
    line="${ids[i]} does not build"; errors=1
  elif failed=$(failing_test) && [[ -n $failed ]]; then
    line="${ids[i]} killed by $failed"; ((++killed))
  else
    line="${ids[i]} survived"; ((++survived))
  fi
  restore
  echo "$line" >>"$results"
  echo "$line ($((SECONDS - start)) s)"
done
cmake --build "$dir" >>"$log" 2>&1
summary="mutation: $killed killed, $survived survived, of ${#ids[@]}"
echo "$summary" | tee -a "$results"
exit "$errors"
