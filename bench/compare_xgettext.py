#!/usr/bin/env python3
"""Compares the Translator Locator's strings.txt with `xgettext -a` on the same files.

Usage: compare_xgettext.py STRINGS_TXT MESSAGES_PO [FILE_LIST]

With the list of the scanned files, a literal of the locator's that no rule on its line explains is
looked up in the files, and a C lexer tells whether it stands in a comment, inside another literal or
on a preprocessor line there.

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


def read_po(path):
    """msgid -> its references; a msgid may go on over several quoted lines."""
    messages = collections.defaultdict(list)
    refs = []
    current = None

    def finish():
        if current:
            messages[ascii_lower(current)].extend(refs)

    with open(path, encoding="utf-8", errors="surrogateescape") as f:
        for raw in f:
            line = raw.rstrip("\n")
            if current is not None and line.startswith('"'):
                current += line[1:-1]
                continue
            if current is not None:
                finish()
                current = None
                refs = []
            if line.startswith("#: "):
                for ref in line[3:].split():
                    m = re.match(r"(.*):(\d+)$", ref)
                    if m:
                        refs.append((m.group(1), int(m.group(2))))
            elif line.startswith('msgid "'):
                current = line[7:-1]
    if current is not None:
        finish()
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
    if any(re.search(r"\\[0-7'?uU]|\\\\u", l) for l in lines) or re.search(r"[^\x00-\x7f]", msgid):
        return "escape or encoding spelled differently (xgettext reads the files as Latin-1)"
    if not any(ascii_lower(l).find(msgid) >= 0 for l in lines):
        if any(l.rstrip().endswith("\\") for l in lines):
            return "continued over a line end (xgettext joins the lines)"
        return "joined from adjacent literals or lines by xgettext"
    return "unexplained"


def classify_ours_only(literal, sources, xgettext_texts_joined, xgettext_texts_joined_unescaped):
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
    if ('\\"' + literal) in xgettext_texts_joined or (literal + '\\"') in xgettext_texts_joined:
        return "quoted text inside a raw string or an escaped-quote literal that xgettext reads whole"
    if literal in xgettext_texts_joined:
        return "one piece of adjacent or continued literals that xgettext joins"
    if literal in xgettext_texts_joined_unescaped:
        return "quoted text inside a raw string or an escaped-quote literal that xgettext reads whole"
    if (')"' + literal) in ascii_lower(line):
        return "raw string literal"
    if re.search(r"\\[0-7']|\\\?", literal) or re.search(r"[^\x00-\x7f]", literal):
        return "escape or encoding spelled differently (xgettext reads the files as Latin-1)"
    if stripped.startswith("#") and not stripped.startswith("#include"):
        return "preprocessor line (#pragma, #error, ...) that xgettext skips"
    if literal.endswith("\\"):
        return "continued over a line end (the scanner ends a literal there)"
    return "unexplained"


def lex_spans(text):
    """(comment spans, literal spans) of a C or C++ text, as [start, end) offsets."""
    comments, literals = [], []
    i, n = 0, len(text)
    while i < n:
        c = text[i]
        if c == "/" and text.startswith("//", i):
            j = i
            while j < n and text[j] != "\n":
                j += 2 if text[j] == "\\" else 1
            comments.append((i, j))
            i = j
        elif c == "/" and text.startswith("/*", i):
            j = text.find("*/", i + 2)
            j = n if j < 0 else j + 2
            comments.append((i, j))
            i = j
        elif c in "\"'":
            j = i + 1
            while j < n and text[j] != c and text[j] != "\n":
                j += 2 if text[j] == "\\" else 1
            literals.append((i, j + 1))
            i = j + 1
        else:
            i += 1
    return comments, literals


def locate_unexplained(unexplained, files):
    """literal -> class, for literals found in the files at a place a C lexer explains."""
    if not unexplained or not files:
        return {}
    patterns = {'"' + original: literal for literal, original in unexplained.items()}
    found = {}
    for path in files:
        try:
            with open(path, encoding="latin-1") as f:
                text = f.read()
        except OSError:
            continue
        hits = [(text.find(p), p) for p in patterns if p in text]
        if not hits:
            continue
        comments, literals = lex_spans(text)
        for offset, pattern in hits:
            literal = patterns[pattern]
            if literal in found:
                continue
            line_start = text.rfind("\n", 0, offset) + 1
            if any(a <= offset < b for a, b in comments):
                found[literal] = "inside a comment that the scanner does not see as one (block comment over lines)"
            elif any(a < offset < b - 1 for a, b in literals):
                found[literal] = "a quote inside another literal (the scanner pairs the quotes otherwise)"
            elif any(offset == b - 1 for a, b in literals):
                found[literal] = ("another literal's closing quote taken for an opening one (an escaped "
                                  "backslash before a quote, or a literal continued over a line end)")
            else:
                # a directive may go on over several lines, each but the last ending in a backslash
                start = line_start
                while start > 0 and text[:start - 1].rstrip(" \t\r").endswith("\\"):
                    start = text.rfind("\n", 0, start - 1) + 1
                if text[start:offset].lstrip().startswith("#"):
                    found[literal] = "preprocessor line (#pragma, #error, ...) that xgettext skips"
    return found


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

    files = []
    if len(sys.argv) > 3:
        with open(sys.argv[3], encoding="utf-8", errors="surrogateescape") as f:
            files = [line.rstrip("\n") for line in f if line.strip()]
    joined = "\x00".join(t for t in theirs - ours)
    unescaped = "\x00".join(theirs).replace('\\"', '"')
    for title, only, classify in (
        ("only xgettext", theirs - ours, lambda t: classify_xgettext_only(t, po[t], ours)),
        ("only the Translator Locator", ours - theirs, lambda t: classify_ours_only(t, listing[t], joined, unescaped)),
    ):
        classes = collections.defaultdict(list)
        for text in sorted(only):
            classes[classify(text)].append(text)
        if title.startswith("only the") and classes.get("unexplained"):
            originals = {t: listing[t][0][-len(t):] for t in classes["unexplained"]}
            located = locate_unexplained(originals, files)
            classes["unexplained"] = [t for t in classes["unexplained"] if t not in located]
            for text, name in located.items():
                classes[name].append(text)
            if not classes["unexplained"]:
                del classes["unexplained"]
        print(f"\n{title}: {len(only)}")
        for name, texts in sorted(classes.items(), key=lambda kv: -len(kv[1])):
            samples = texts if name == "unexplained" else texts[:3]
            print(f"  {len(texts):7d}  {name}")
            for s in samples[:40]:
                print(f"           {s[:100]!r}")


if __name__ == "__main__":
    main()
