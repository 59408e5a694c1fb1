#!/usr/bin/env bash
# as_unprivileged_user.sh PROGRAM [ARGS...]: runs a test program as the user nobody, in a temporary
# folder of that user's own. The tests of what permissions refuse skip when run as root, for whom
# permissions are not enforced; CI runs as root, so without this they would never run there.
# Exit 77 (skipped) when not root, or when nobody cannot reach the program (a build below /root).
set -euo pipefail
if [ "$(id -u)" -ne 0 ]; then
  echo "not root: these tests ran in the ordinary run"
  exit 77
fi
if ! setpriv --reuid=nobody --regid=nogroup --clear-groups test -x "$1"; then
  echo "the user nobody cannot run $1 (a folder above it is closed to others)"
  exit 77
fi
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
chown nobody:nogroup "$tmp"
out="$tmp/output.txt"
status=0
setpriv --reuid=nobody --regid=nogroup --clear-groups env TMPDIR="$tmp/work" HOME="$tmp" \
  sh -c 'mkdir "$TMPDIR" && exec "$@"' sh "$@" >"$out" 2>&1 || status=$?
cat "$out"
# a test that still skips, or a filter that selects nothing, would pass without testing anything
if grep -q '^\[  SKIPPED \]' "$out" || ! grep -q '^\[  PASSED  \] [1-9]' "$out"; then
  echo "as_unprivileged_user.sh: a test was skipped or none ran"
  exit 1
fi
exit "$status"
