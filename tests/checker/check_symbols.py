#!/usr/bin/env python3
"""Checks the symbol header that -createdistribution writes against the C compiler.

    check_symbols.py ZORHOST RELKIT_MODULE STARTUP_RESOURCE HEADER_TREE [--keep DIR]

Lays out a start-up folder whose frameworks/orvane.framework is a copy of HEADER_TREE (for example
/usr/include/linux), with the GUI script and symbol header of STARTUP_RESOURCE, and runs
`zorhost -createdistribution` on it. Then it builds one C program that includes every header of the
copy that compiles (as <TREE_NAME/...>, so that the headers' own includes of each other reach the
copy) and prints the value of every written symbol. Lines the compiler rejects (a symbol that is no
constant expression in C, or that C does not know under that name) are dropped until the program
compiles. It prints how many written symbols C evaluates and how many of those agree, and lists the
rest by kind. Exit status 0 when the action completed, whatever the agreement.
"""
import collections
import os
import re
import shutil
import subprocess
import sys
import tempfile


def run(command, **kwargs):
    return subprocess.run(command, capture_output=True, text=True, **kwargs)


def main():
    args = sys.argv[1:]
    keep = None
    if "--keep" in args:
        at = args.index("--keep")
        keep = args[at + 1]
        del args[at:at + 2]
    if len(args) != 4:
        print(__doc__, file=sys.stderr)
        return 2
    zorhost, module, resource, tree = args
    tree = os.path.abspath(tree)
    name = os.path.basename(tree.rstrip("/"))
    work = keep or tempfile.mkdtemp(prefix="check_symbols_")
    if os.path.exists(work):
        shutil.rmtree(work)
    startup = os.path.join(work, "startup")
    os.makedirs(os.path.join(startup, "resource"))
    for file in ("gui.tpn", "tarponsymbols.h"):
        shutil.copy(os.path.join(resource, file), os.path.join(startup, "resource", file))
    sdk = os.path.join(startup, "frameworks", "orvane.framework")
    shutil.copytree(tree, sdk, symlinks=True)
    # the C program reaches the copy under the tree's own name
    include = os.path.join(work, "include")
    os.makedirs(include)
    os.symlink(sdk, os.path.join(include, name))

    action = run([zorhost, "--headless", "--startup", startup, "--prefs", os.path.join(work, "prefs"),
                  "--module", module, "-createdistribution"])
    console = action.stdout.splitlines()
    if action.returncode != 0 or not console or console[-1] != "Created tarponsymbols.h":
        print("the action did not complete:", action.returncode, console[-3:], action.stderr[-2000:])
        return 1
    written = collections.OrderedDict()
    with open(os.path.join(startup, "resource", "tarponsymbols.h")) as header:
        for line in header:
            match = re.fullmatch(r"(\w+)=(-?\d+),", line.strip())
            if match:
                written[match.group(1)] = int(match.group(2))
    print(f"{len(written)} symbols written; console: {console[-2]}")

    # every header that compiles on its own, in file-name order like the scan
    headers = []
    for folder, _, files in os.walk(sdk):
        for file in files:
            if file.endswith(".h"):
                headers.append(os.path.relpath(os.path.join(folder, file), sdk))
    headers.sort(key=lambda path: (os.path.basename(path), path))
    compiler = ["gcc", "-w", "-fmax-errors=0", "-I", include]
    usable = []
    for path in headers:
        probe = run(compiler + ["-fsyntax-only", "-x", "c", "-"], input=f"#include <{name}/{path}>\n")
        if probe.returncode == 0:
            usable.append(path)

    # drop headers that clash with the ones before them
    def source(includes, symbols):
        text = "#include <stdio.h>\n" + "".join(f"#include <{name}/{p}>\n" for p in includes)
        text += "#define P(x) printf(\"%s=%lld\\n\", #x, (long long)(x));\nint main(void) {\n"
        first = text.count("\n") + 1
        text += "".join(f"P({s})\n" for s in symbols) + "return 0;\n}\n"
        return text, first

    program = os.path.join(work, "check.c")
    while True:
        text, _ = source(usable, [])
        with open(program, "w") as out:
            out.write(text)
        result = run(compiler + ["-fsyntax-only", program])
        bad = {int(n) for n in re.findall(re.escape(program) + r":(\d+):", result.stderr)}
        if result.returncode == 0 or not bad:
            break
        usable = [p for i, p in enumerate(usable) if i + 2 not in bad]
    symbols = list(written)
    dropped = 0
    while True:
        text, first = source(usable, symbols)
        with open(program, "w") as out:
            out.write(text)
        result = run(compiler + ["-o", os.path.join(work, "check"), program])
        if result.returncode == 0:
            break
        bad = {int(n) - first for n in re.findall(re.escape(program) + r":(\d+):", result.stderr)}
        bad = {i for i in bad if 0 <= i < len(symbols)}
        if not bad:
            print("the program does not compile:", result.stderr[-3000:])
            return 1
        dropped += len(bad)
        symbols = [s for i, s in enumerate(symbols) if i not in bad]
    values = {}
    for line in run([os.path.join(work, "check")]).stdout.splitlines():
        key, _, value = line.partition("=")
        values[key] = int(value)

    kinds = collections.defaultdict(list)
    for symbol, ours in written.items():
        if symbol not in values:
            kinds["not evaluated by C"].append(symbol)
        elif values[symbol] == ours:
            kinds["agree"].append(symbol)
        elif (values[symbol] - ours) % (1 << 32) == 0:
            kinds["agree in the low 32 bits"].append(f"{symbol}: C {values[symbol]}, written {ours}")
        else:
            kinds["disagree"].append(f"{symbol}: C {values[symbol]}, written {ours}")
    print(f"{len(usable)} of {len(headers)} headers included; {len(values)} symbols evaluated by C")
    for kind in ("agree", "agree in the low 32 bits", "disagree", "not evaluated by C"):
        print(f"{kind}: {len(kinds[kind])}")
    for kind in ("disagree", "agree in the low 32 bits"):
        for line in kinds[kind]:
            print(f"  {kind}: {line}")
    if not keep:
        shutil.rmtree(work)
    return 0


if __name__ == "__main__":
    sys.exit(main())
