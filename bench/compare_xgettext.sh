#!/bin/bash
# The Translator Locator against `xgettext -a` on the same source files: the literals both find, the
# differences by the listing rule that explains them, and the rate of each in MB of source per second.
#
#   bench/compare_xgettext.sh BUILD_DIR [FOLDER...]
#
# The folders (default: the nlohmann-json examples and /usr/include, about 106 MB of headers and
# sources that nobody here wrote) are linked below one tree, which zorhost's "#$63Translator Locator..."
# command scans, answering its folder choice from a UI script; xgettext reads the same "cpp" and "h"
# files. Nothing is downloaded; xgettext comes from Debian's gettext package.
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
shift || true
folders=("$@")
if [ ${#folders[@]} -eq 0 ]; then
  folders=(/usr/share/doc/nlohmann-json3-dev/examples /usr/include)
fi
command -v xgettext >/dev/null || { echo "xgettext is missing (apt-get install gettext)" >&2; exit 2; }
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d /tmp/translator_compare.XXXXXX)
trap 'rm -rf "$work"' EXIT

mkdir -p "$work/tree" "$work/drive" "$work/prefs" "$work/startup"
for i in "${!folders[@]}"; do ln -s "$(cd "${folders[$i]}" && pwd)" "$work/tree/$i"; done
# each file once, as the locator visits each folder once however many links lead to it
find -L "$work/tree" -type f \( -iname '*.cpp' -o -iname '*.h' \) -print0 2>/dev/null | xargs -0 realpath | sort -u > "$work/files.txt"
bytes=$(tr '\n' '\0' < "$work/files.txt" | xargs -0 cat | wc -c)
echo "files: $(wc -l < "$work/files.txt"), $bytes bytes"

printf '[{"folder": "%s"}]' "$work/tree" > "$work/ui.json"
now() { date +%s.%N; }
t0=$(now)
"$build/bin/zorhost" --startup "$work/startup" --prefs "$work/prefs" --module "$build/bin/plugins/relkit.zdl64" \
  --set g_nexalRelkitTools=true --drive "C=$work/drive" --ui "$work/ui.json" --command 12432341 \
  > /dev/null 2> "$work/zorhost.err"
t1=$(now)
# Latin-1 reads every byte, so no file stops xgettext; literals beyond ASCII are few and said as such
xgettext -a --no-wrap --from-code=ISO-8859-1 -f "$work/files.txt" -o "$work/messages.po" 2> "$work/xgettext.err" || true
t2=$(now)

python3 "$here/compare_xgettext.py" "$work/drive/strings.txt" "$work/messages.po" "$work/files.txt"
echo
awk -v b="$bytes" -v l="$t0" -v m="$t1" -v x="$t2" 'BEGIN {
  tl = m - l; tx = x - m;
  printf "Translator Locator (zorhost run): %.2f s, %.1f MB/s\n", tl, b / 1e6 / tl;
  printf "xgettext -a:                      %.2f s, %.1f MB/s\n", tx, b / 1e6 / tx;
  printf "rate ratio (locator / xgettext):  %.1f\n", tx / tl;
}'
