#!/usr/bin/env bash
# install_test.sh BUILD_DIR: installs the build into a fresh prefix and uses it the way a user would,
# from the installed files only: the sample comparison (a base run, then a comparison run) with zorhost's
# default start-up folder, then relkit-report on the result.
# That nothing reaches back into the build: every run has a clean environment and its working folder
# outside the build, the dynamic loader's own record shows the module came from the prefix, and no
# installed file holds the build folder's path.
set -euo pipefail
build=$(realpath "$1")
work=$(mktemp -d "${TMPDIR:-/tmp}/relkit_install_XXXXXX")
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
fail() {
  echo "install test: $*" >&2
  exit 1
}

cmake --install "$build" --prefix "$prefix" --strip >"$work/install.log" || {
  cat "$work/install.log"
  fail "cmake --install failed"
}

for file in bin/zorhost bin/relkit-report bin/relkit-crashcheck lib/zorhost/plugins/relkit.zdl64 lib/zorhost/resource/gui.tpn \
  lib/zorhost/resource/tarponsymbols.h share/doc/relkit/README.md; do
  [ -f "$prefix/$file" ] || fail "$file is not installed"
done
[ -f "$prefix/lib/zorhost/frameworks/orvane.framework/source/zor_api/zor_api.h" ] || fail "no SDK headers installed"
[ ! -e "$prefix/lib/zorhost/resource/.clang-format" ] || fail "the formatter's settings are installed"
ls "$prefix"/share/relkit/scenes/*/*.zor >/dev/null 2>&1 || fail "no sample scenes installed"
if [ -d "$build/man" ]; then
  for program in zorhost relkit-report relkit-crashcheck; do
    zgrep -q "^\.TH" "$prefix/share/man/man1/$program.1.gz" || fail "no man page for $program"
  done
fi
# A sanitizer build names the file each instrumented global was compiled from, the generated ones in the
# build folder among them; such a build is for the test suite, never for a user's machine.
if ! grep -q '^RELKIT_SANITIZE:BOOL=ON' "$build/CMakeCache.txt" && grep -rlF "$build" "$prefix"; then
  fail "the files above name the build folder $build"
fi

# a user's run: clean environment, settings below a home of its own, working folder outside the build
mkdir -p "$work/home"
cp -r "$prefix/share/relkit/scenes" "$work/scenes"
cd "$work"
user() { env -i PATH=/usr/bin:/bin HOME="$work/home" "$@"; }
zorhost=("$prefix/bin/zorhost" --headless --set g_nexalRelkitTools=true)

user LD_DEBUG=files LD_DEBUG_OUTPUT="$work/loader" "${zorhost[@]}" -renderator "$work/scenes" >base.out 2>&1 ||
  { cat base.out; fail "the base run failed"; }
grep -h "relkit.zdl64" "$work"/loader.* | grep -q "file=$prefix/lib/zorhost/plugins/relkit.zdl64" ||
  fail "the module was not loaded from $prefix/lib/zorhost/plugins"
base=$(ls -d "$work"/scenes/_renderator_*_1)
user "${zorhost[@]}" -renderator "$work/scenes" "$base" >compare.out 2>&1 ||
  { cat compare.out; fail "the comparison run failed"; }
result=$(ls -d "$work"/scenes/_renderator_*_2)
user "$prefix/bin/relkit-report" check "$result" --reference "$base" >report.out 2>&1 ||
  { cat report.out; fail "relkit-report found a difference between two runs of one build"; }
[ -f "$result/_report.html" ] || fail "relkit-report wrote no page"
[ -d "$work/home/.config/zorhost" ] || fail "zorhost kept no settings in the user's home"
echo "install test: the installed layout works from $prefix"
