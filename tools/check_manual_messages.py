#!/usr/bin/env python3
"""Checks that docs/manual.md quotes every text the program writes.

    tools/check_manual_messages.py [SOURCE_ROOT]

The texts are taken from the string literals of src/**/*.cpp (the record
writer's own machinery in src/common/ aside): of a record format such as
"(/,2X,'p-value = ',F7.5)" every quoted piece ('p-value = '), of any other
literal the literal itself (a list-directed message, a key fragment, a file
name suffix). Each must occur in the manual, compared with all whitespace
removed. Adjacent literals are joined first, as the compiler joins them.
Exit status 0 when all are there, 1 with the list of the missing ones.
"""
import os
import re
import sys

# Literals that are not text the program writes or reads from the user.
NOT_TEXT = {
    "= ", "()",  # delimiter pairs of the field readers
}

STRING = re.compile(r'"((?:[^"\\\n]|\\.)*)"')


def strip_comments(code):
    """Drops // and /* */ comments, keeping string literals intact."""
    out, i, n = [], 0, len(code)
    while i < n:
        c = code[i]
        if c == '"':
            m = STRING.match(code, i)
            if m:
                out.append(m.group(0))
                i = m.end()
                continue
        if c == "'" and i + 2 < n:
            m = re.match(r"'(?:[^'\\\n]|\\.)'", code[i:])
            if m:
                out.append(m.group(0))
                i += m.end()
                continue
        if code.startswith("//", i):
            j = code.find("\n", i)
            i = n if j < 0 else j
            continue
        if code.startswith("/*", i):
            j = code.find("*/", i + 2)
            i = n if j < 0 else j + 2
            continue
        out.append(c)
        i += 1
    return "".join(out)


def unescape(s):
    return re.sub(r"\\(.)", lambda m: {"n": "\n", "t": "\t"}.get(m.group(1), m.group(1)), s)


def literals(code):
    """String literals of the code, adjacent ones joined; #include lines and
    lines that speak to the compiler or the processor skipped."""
    machine = ("__attribute__", "__builtin_cpu_supports", "asm(")
    lines = [l for l in code.splitlines() if not l.lstrip().startswith("#") and not any(k in l for k in machine)]
    code = "\n".join(lines)
    found, last_end, current = [], None, None
    for m in STRING.finditer(code):
        if current is not None and code[last_end:m.start()].strip() == "":
            current += unescape(m.group(1))
        else:
            if current is not None:
                found.append(current)
            current = unescape(m.group(1))
        last_end = m.end()
    if current is not None:
        found.append(current)
    return found


def texts_of(literal):
    """The texts a literal contributes: the quoted pieces of a format, or the
    literal itself without printf conversions and surrounding blanks."""
    if literal.startswith("("):
        pieces = re.findall(r"'((?:[^']|'')*)'", literal)
        return [p.replace("''", "'") for p in pieces if re.search(r"[A-Za-z0-9]", p)]
    text = re.sub(r"%[-+#0-9.*]*[sdfegiux]\b", " ", literal).strip()
    if text in NOT_TEXT or not re.search(r"[A-Za-z0-9#*]", text):
        return []
    return [text]


def squeeze(s):
    return re.sub(r"\s+", "", s)


def main(argv):
    root = argv[1] if len(argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
    src = os.path.join(root, "src")
    with open(os.path.join(root, "docs", "manual.md"), encoding="utf-8") as f:
        manual = squeeze(f.read())
    wanted = {}
    for folder, _, files in os.walk(src):
        if os.path.relpath(folder, src).split(os.sep)[0] == "common":
            continue
        for name in sorted(files):
            if not name.endswith(".cpp"):
                continue
            path = os.path.join(folder, name)
            with open(path, encoding="utf-8") as f:
                code = strip_comments(f.read())
            for literal in literals(code):
                for text in texts_of(literal):
                    wanted.setdefault(text, os.path.relpath(path, root))
    missing = sorted((where, text) for text, where in wanted.items() if squeeze(text) not in manual)
    for where, text in missing:
        print(f"not in docs/manual.md: {text!r}  ({where})")
    print(f"{len(wanted) - len(missing)} passed, {len(missing)} failed: texts of src/ quoted in docs/manual.md")
    return 1 if missing else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
