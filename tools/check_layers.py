#!/usr/bin/env python3
"""Checks that every #include of the sources points down the layers.

    tools/check_layers.py [SOURCE_ROOT]
    tools/check_layers.py --self-test

The groups of files and the includes each group may make are listed in
tools/layers.txt. Every source file under the listed folders must belong
to a group, and every quoted include must name a file of its own group or
of a group it is allowed to include. Exit status 0 when all includes are
allowed, 1 with one line per offending include (or unmapped file).
--self-test runs the check on a small made-up tree with known faults.
"""
import fnmatch
import os
import re
import sys
import tempfile

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.MULTILINE)
SOURCE_ENDINGS = (".cpp", ".hpp", ".h", ".cc", ".c")
# Where a quoted include is looked up, besides the including file's folder.
INCLUDE_ROOTS = ("src", "include")


def read_layers(path):
    """Returns ([(group, [pattern])], {group: set of allowed groups})."""
    groups, allowed = [], {}
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            words = line.split("#", 1)[0].split()
            if not words:
                continue
            kind, name, rest = words[0], words[1] if len(words) > 1 else "", words[2:]
            if kind == "group" and name and rest:
                groups.append((name, rest))
            elif kind == "allow" and name:
                allowed.setdefault(name, set()).update(rest)
            else:
                sys.exit(f"{path}:{number}: cannot read: {line.strip()}")
    names = {g for g, _ in groups}
    for name, targets in allowed.items():
        for target in {name} | targets:
            if target not in names:
                sys.exit(f"{path}: allow names an unknown group {target}")
    return groups, allowed


def group_of(relpath, groups):
    for name, patterns in groups:
        if any(fnmatch.fnmatchcase(relpath, p) for p in patterns):
            return name
    return None


def source_files(root, groups):
    """Every source file under the folders that the patterns name."""
    tops = set()
    for _, patterns in groups:
        for p in patterns:
            tops.add(p.split("/", 1)[0] if "/" in p else p)
    for top in sorted(tops):
        start = os.path.join(root, top)
        if os.path.isfile(start):
            yield top
            continue
        for folder, _, files in os.walk(start):
            for name in sorted(files):
                if name.endswith(SOURCE_ENDINGS):
                    yield os.path.relpath(os.path.join(folder, name), root).replace(os.sep, "/")


def resolve(root, including, target):
    here = os.path.dirname(including)
    for base in (here,) + INCLUDE_ROOTS:
        candidate = os.path.normpath(os.path.join(base, target)).replace(os.sep, "/")
        if os.path.isfile(os.path.join(root, candidate)):
            return candidate
    return None


def check(root, layers_path):
    groups, allowed = read_layers(layers_path)
    problems = []
    for rel in source_files(root, groups):
        group = group_of(rel, groups)
        if group is None:
            problems.append(f"{rel}: belongs to no group of {os.path.basename(layers_path)}")
            continue
        with open(os.path.join(root, rel), encoding="utf-8", errors="replace") as f:
            text = f.read()
        for match in INCLUDE.finditer(text):
            line = text.count("\n", 0, match.start()) + 1
            target = resolve(root, rel, match.group(1))
            if target is None:
                problems.append(f"{rel}:{line}: includes \"{match.group(1)}\", which is not in the tree")
                continue
            to = group_of(target, groups)
            if to is None:
                problems.append(f"{rel}:{line}: includes {target}, which belongs to no group")
            elif to != group and to not in allowed.get(group, set()):
                problems.append(f"{rel}:{line}: {group} includes {target} of {to}")
    return problems


def self_test():
    """The check on a made-up tree: one of each fault, and what may pass."""
    files = {
        "tools/layers.txt": "group low src/low/*\ngroup mid src/top/mid_*\ngroup top src/top/*\n"
                            "allow mid low\nallow top low mid\n",
        "src/low/a.hpp": "#pragma once\n",
        "src/low/b.cpp": '#include "low/a.hpp"\n#include <vector>\n',        # own group
        "src/top/mid_c.hpp": '#include "low/a.hpp"\n',                          # down
        "src/top/d.cpp": '#include "top/mid_c.hpp"\n#include "d.hpp"\n',       # down; own folder
        "src/top/d.hpp": "#pragma once\n",
        "src/low/up.cpp": '#include "top/d.hpp"\n',                             # up: refused
        "src/top/mid_e.cpp": '  #  include "top/d.hpp"\n',                     # up within a folder
        "src/low/gone.cpp": '#include "low/missing.hpp"\n',                     # not in the tree
        "src/stray/f.cpp": "",                                                   # no group
    }
    with tempfile.TemporaryDirectory() as root:
        for rel, text in files.items():
            os.makedirs(os.path.dirname(os.path.join(root, rel)), exist_ok=True)
            with open(os.path.join(root, rel), "w", encoding="utf-8") as f:
                f.write(text)
        # src/stray is looked at only when a pattern names src/: it does.
        problems = check(root, os.path.join(root, "tools", "layers.txt"))
    expected = [
        "src/low/gone.cpp:1: includes \"low/missing.hpp\", which is not in the tree",
        "src/low/up.cpp:1: low includes src/top/d.hpp of top",
        "src/stray/f.cpp: belongs to no group of layers.txt",
        "src/top/mid_e.cpp:1: mid includes src/top/d.hpp of top",
    ]
    if sorted(problems) != expected:
        print("self-test failed; found:", *sorted(problems), sep="\n  ")
        return 1
    print("self-test passed")
    return 0


def main():
    if sys.argv[1:] == ["--self-test"]:
        return self_test()
    root = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), ".."))
    problems = check(root, os.path.join(root, "tools", "layers.txt"))
    for p in problems:
        print(p)
    if problems:
        print(f"{len(problems)} include(s) against the layers of tools/layers.txt")
        return 1
    print("every include points down the layers")
    return 0


if __name__ == "__main__":
    sys.exit(main())
