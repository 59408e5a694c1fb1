#!/usr/bin/env python3
"""Runs -createdistribution over a header tree nobody here wrote and checks the written symbols with a
C compiler.

  check_header_tree.py --zorhost build/bin/zorhost --module build/bin/plugins/relkit.zdl64 \
      --headers /usr/include/linux [--work DIR] [--cc gcc]

The header tree is copied to WORK/frameworks/orvane.framework, the folder the action scans beside the
start-up folder WORK/startup, whose resource folder gets the project's default content. After the run,
every symbol of the written tarponsymbols.h is looked up in the header that defines it first (in the
scan's order of bare file names); one C program per header includes the ORIGINAL header and turns each
of its symbols into an enumerator "(int)(NAME)", which only an integer constant expression can
initialise. Lines the compiler refuses are dropped and the program compiled again, so what is left is
exactly what C can evaluate. The program prints those values; the checker compares them with the
written ones and lists every disagreement.
"""
import argparse
import collections
import concurrent.futures
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

DEFINE = re.compile(r"^[ \t]*#[ \t]*define[ \t]+([A-Za-z_]\w*)", re.M)
ENUMERATOR = re.compile(r"^[ \t]*([A-Za-z_]\w*)[ \t]*(?:=(?!=)|,|$)", re.M)
SYMBOL_LINE = re.compile(r"^([A-Za-z_]\w*)=(-?\d+),$")


def sort_key(path):
    name = os.path.basename(path)
    special = {"ge_win_math.h": -2, "lib_description.h": -1}.get(name, 0)
    return (special, name if special == 0 else "")


def collect_headers(root):
    skip_folders = {"zor_scaling", "zor_preview", "description"}
    found = []
    for folder, subfolders, files in os.walk(root):
        subfolders[:] = [s for s in subfolders if s not in skip_folders]
        for f in files:
            lower = f.lower()
            if not lower.endswith(".h") or f in ("xzr_colors.h", "zor_gl.h") or f.startswith("ge_mac"):
                continue
            found.append(os.path.join(folder, f))
    return sorted(found, key=sort_key)


def defining_headers(headers, names):
    """name -> the first header (in scan order) that defines it as a macro or an enumerator."""
    where = {}
    for path in headers:
        with open(path, encoding="latin-1") as f:
            text = f.read()
        for pattern in (DEFINE, ENUMERATOR):
            for m in pattern.finditer(text):
                name = m.group(1)
                if name in names and name not in where:
                    where[name] = path
    return where


def evaluate_in_c(cc, original, names, work):
    """{name: value} for the names C evaluates as integer constants after including the header."""
    base = os.path.join(work, "c_" + re.sub(r"\W", "_", original))
    alive = list(names)
    for _ in range(12):
        lines = ["#include <stdio.h>", '#include "%s"' % original]
        first = len(lines) + 1
        for i, name in enumerate(alive):
            lines.append("enum { relkit_check_%d = (int)(%s) };" % (i, name))
        lines.append("int main(void) {")
        for i, name in enumerate(alive):
            lines.append('  printf("%%s %%d\\n", "%s", (int)relkit_check_%d);' % (name, i))
        lines.append("  return 0;\n}")
        with open(base + ".c", "w") as f:
            f.write("\n".join(lines) + "\n")
        result = subprocess.run([cc, "-std=gnu11", "-w", "-o", base, base + ".c"], capture_output=True,
                                text=True, errors="replace")
        if result.returncode == 0:
            run = subprocess.run([base], capture_output=True, text=True)
            values = {}
            for line in run.stdout.splitlines():
                name, value = line.rsplit(" ", 1)
                values[name] = int(value)
            return values, None
        bad = set()
        for m in re.finditer(re.escape(base) + r"\.c:(\d+):\d+: error", result.stderr):
            line = int(m.group(1))
            if first <= line < first + len(alive):
                bad.add(line - first)
        if not bad:
            return {}, result.stderr.strip().splitlines()[0] if result.stderr else "does not compile"
        alive = [n for i, n in enumerate(alive) if i not in bad]
        if not alive:
            return {}, None
    return {}, "too many rounds"


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--zorhost", required=True)
    parser.add_argument("--module", required=True)
    parser.add_argument("--headers", required=True)
    parser.add_argument("--work")
    parser.add_argument("--cc", default="gcc")
    parser.add_argument("--jobs", type=int, default=2)
    args = parser.parse_args()

    source_dir = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    work = os.path.abspath(args.work or tempfile.mkdtemp(prefix="relkit_header_tree_"))
    startup = os.path.join(work, "startup")
    tree = os.path.join(work, "frameworks", "orvane.framework")
    shutil.rmtree(work, ignore_errors=True)
    shutil.copytree(os.path.join(source_dir, "examples", "startup"), startup)
    shutil.copytree(args.headers, tree, symlinks=False)

    started = time.monotonic()
    run = subprocess.run([os.path.abspath(args.zorhost), "--startup", startup, "--prefs", os.path.join(work, "prefs"),
                          "--headless", "--module", os.path.abspath(args.module), "-createdistribution"],
                         capture_output=True, text=True, errors="replace")
    seconds = time.monotonic() - started
    console = run.stdout.splitlines()
    print("zorhost exit %d in %.2f s; last console lines:" % (run.returncode, seconds))
    for line in console[-3:]:
        print("  " + line)
    counts = collections.Counter(line.split(" ")[0] for line in console)
    print("console: %d SYMBOL FAILED, %d REAL Constant, %d DOUBLE USAGE" %
          (counts["SYMBOL"], counts["REAL"], counts["DOUBLE"]))

    written = []
    with open(os.path.join(startup, "resource", "tarponsymbols.h")) as f:
        for line in f:
            m = SYMBOL_LINE.match(line.strip())
            if m:
                written.append((m.group(1), int(m.group(2))))
    headers = collect_headers(tree)
    print("%d headers, %d symbols written (%.0f headers/s, %.0f symbols/s)" %
          (len(headers), len(written), len(headers) / seconds, len(written) / seconds))

    names = {n for n, _ in written}
    where = defining_headers(headers, names)
    by_header = collections.defaultdict(list)
    for name, _ in written:
        if name in where:
            # the C program includes the original, so that its own includes resolve as usual
            by_header[os.path.join(args.headers, os.path.relpath(where[name], tree))].append(name)
    c_values = {}
    not_alone = []
    with concurrent.futures.ThreadPoolExecutor(args.jobs) as pool:
        futures = {pool.submit(evaluate_in_c, args.cc, h, ns, work): h for h, ns in by_header.items()}
        for future in concurrent.futures.as_completed(futures):
            values, problem = future.result()
            c_values.update(values)
            if problem:
                not_alone.append((futures[future], problem))

    agree = 0
    disagree = []
    for name, value in written:
        if name in c_values:
            if c_values[name] == value:
                agree += 1
            else:
                disagree.append((name, value, c_values[name], where.get(name, "?")))
    print("%d symbols C can evaluate, %d agree, %d disagree; %d without a defining header found; "
          "%d headers do not compile on their own" %
          (len(c_values), agree, len(disagree), len(names - set(where)), len(not_alone)))
    for name, value, c_value, header in disagree:
        print("  DISAGREE %s: written %d, C %d (%s)" % (name, value, c_value, os.path.relpath(header, tree)))
    for header, problem in sorted(not_alone)[:20]:
        print("  alone: %s: %s" % (os.path.relpath(header, args.headers), problem))
    print("work folder: " + work)
    return 0 if run.returncode == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
