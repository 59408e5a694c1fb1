#!/usr/bin/env python3
"""Compares the Translator Locator's strings.txt with `xgettext -a` on the same files.

Usage: compare_xgettext.py STRINGS_TXT MESSAGES_PO

Literals are compared as sets after lowering ASCII letters (the locator lowers its listing). Every
literal that only one side finds is put in the class of the listing rule or scanner rule that explains
it; the classes with counts and a few samples are printed. A literal that no class explains is counted
as "unexplained" and all of them are printed.
"""
import collections
import re
import sys

COLUMN = 30


def ascii_lower(text):
    return "".join(chr(ord(c) + 32) if "A" <= c <= "Z" else c for c in text)


def split_listing(line):
    """(literal, source line) of one listing line: the literal, padded to 30 columns, then the source
    line, which ends with the literal in its original case."""
    for n in range(1, len(line) + 1):
        literal = line[:n]
        if n < COLUMN and line[n:COLUMN].strip(" ") != "":
            continue
        rest = line[max(n, COLUMN):]
        if ascii_lower(rest).endswith(literal):
            return literal, rest
    return None, line


def read_listing(path):
    found = collections.defaultdict(list)
    unparsed = 0
    with open(path, encoding="utf-8", errors="surrogateescape") as f:
        for raw in f:
            line = raw.rstrip("\n")
            literal, source = split_listing(line)
            if literal is None:
                unparsed += 1
                continue
            found[literal].append(source)
    return found, unparsed


def unquote_po(text):
    return text  # po keeps C escapes (\n, \t, \", \\); the listing keeps the source's own spelling


def read_po(path):
    messages = collections.defaultdict(list)
    refs = []
    with open(path, encoding="utf-8", errors="surrogateescape") as f:
        for raw in f:
            line = raw.rstrip("\n")
            if line.startswith("#: "):
                for ref in line[3:].split():
                    m = re.match(r"(.*):(\d+)$", ref)
                    if m:
                        refs.append((m.group(1), int(m.group(2))))
            elif line.startswith('msgid "'):
                text = unquote_po(line[7:-1])
                if text:
                    messages[ascii_lower(text)].extend(refs)
                refs = []
            elif line.startswith("msgstr"):
                refs = []
    return messages


_lines_cache = {}


def source_line(path, number):
    if path not in _lines_cache:
        try:
            with open(path, encoding="latin-1") as f:
                _lines_cache[path] = f.read().split("\n")
        except OSError:
            _lines_cache[path] = []
    lines = _lines_cache[path]
    return lines[number - 1] if 0 < number <= len(lines) else ""


def classify_xgettext_only(msgid, refs, ours_texts):
    lines = [source_line(p, n) for p, n in refs[:5]]
    if not re.search(r"[a-z]", msgid):
        return "no ASCII letter (letters required)"
    if '\\"' in msgid:
        return "escaped quote (not listed)"
    if msgid.endswith(".h"):
        return "header file name (not listed)"
    if any(re.search(r"\\[xX]", l) for l in lines):
        return "hexadecimal escape (not listed; xgettext decodes it)"
    if any("'\"'" in l or "'\\\"'" in l for l in lines):
        return "character literal holding a quote (the scanner opens a literal there)"
    if any(re.search(r'\\\\"', l) for l in lines):
        return "escaped backslash before the closing quote (the scanner reads on)"
    if any(re.search(r"//.*\"", l.split('"')[0] + '"') for l in lines) or any(
        "//" in l[: l.find('"')] for l in lines if '"' in l
    ):
        return "after a line comment mark on its line"
    if not any(ascii_lower(l).find(msgid) >= 0 for l in lines):
        if any(l.rstrip().endswith("\\") for l in lines):
            return "continued over a line end (xgettext joins the lines)"
        return "joined from adjacent literals or lines by xgettext"
    if any(re.search(r"\\[0-7]", l) for l in lines) or re.search(r"[^\x00-\x7f]", msgid):
        return "escape or encoding spelled differently"
    return "unexplained"


def classify_ours_only(literal, sources, xgettext_texts_joined):
    line = sources[0]
    stripped = line.lstrip()
    if "/*" in line or stripped.startswith("*"):
        return "inside a block comment (xgettext skips comments)"
    if "'\"'" in line or "'\\\"'" in line:
        return "character literal holding a quote (the scanner opens a literal there)"
    if re.search(r'\\\\"', literal) or literal.endswith("\\\\") or '\\"' in literal:
        return "escaped backslash before the closing quote (the scanner reads on)"
    if re.search(r'R"[^(]*\(', line):
        return "raw string literal"
    if literal in xgettext_texts_joined:
        return "one piece of literals that xgettext joins"
    if re.search(r"\\[0-7']|\\\?", literal) or re.search(r"[^\x00-\x7f]", literal):
        return "escape or encoding spelled differently"
    if stripped.startswith("#") and not stripped.startswith("#include"):
        return "preprocessor line that xgettext reads otherwise"
    if literal.endswith("\\"):
        return "continued over a line end (the scanner ends a literal there)"
    return "unexplained"


def main():
    listing, unparsed = read_listing(sys.argv[1])
    po = read_po(sys.argv[2])
    ours = set(listing)
    theirs = set(po)
    both = ours & theirs
    print(f"literals listed by the Translator Locator: {len(ours)} distinct ({sum(map(len, listing.values()))} lines)")
    print(f"literals extracted by xgettext -a:        {len(theirs)} distinct")
    print(f"found by both:                            {len(both)}")
    if unparsed:
        print(f"listing lines that could not be split:    {unparsed}")

    joined = "\x00".join(t for t in theirs - ours)
    for title, only, classify in (
        ("only xgettext", theirs - ours, lambda t: classify_xgettext_only(t, po[t], ours)),
        ("only the Translator Locator", ours - theirs, lambda t: classify_ours_only(t, listing[t], joined)),
    ):
        classes = collections.defaultdict(list)
        for text in sorted(only):
            classes[classify(text)].append(text)
        print(f"\n{title}: {len(only)}")
        for name, texts in sorted(classes.items(), key=lambda kv: -len(kv[1])):
            samples = texts if name == "unexplained" else texts[:3]
            print(f"  {len(texts):7d}  {name}")
            for s in samples[:40]:
                print(f"           {s[:100]!r}")


if __name__ == "__main__":
    main()
