#!/usr/bin/env python3
"""Fails when the source folders include each other in a cycle.

    scripts/check_includes.py [SRC]         checks SRC (default: src next to this script)
    scripts/check_includes.py --self-test   shows that a planted cycle is found

The folders of SRC use each other in one direction only (base/ below everything, app/ on
top); an #include "folder/..." of another folder is a use. Exit status 1 names a cycle."""
import os
import re
import sys
import tempfile

INCLUDE = re.compile(r'^\s*#\s*include\s+"([A-Za-z0-9_]+)/')


def uses(src):
    graph = {}
    for folder in sorted(os.listdir(src)):
        path = os.path.join(src, folder)
        if not os.path.isdir(path):
            continue
        targets = graph.setdefault(folder, set())
        for name in os.listdir(path):
            if not name.endswith((".h", ".cpp")):
                continue
            with open(os.path.join(path, name), encoding="utf-8", errors="replace") as f:
                for line in f:
                    match = INCLUDE.match(line)
                    if match and match.group(1) != folder and os.path.isdir(
                            os.path.join(src, match.group(1))):
                        targets.add(match.group(1))
    return graph


def find_cycle(graph):
    state = {}  # 1: on the current path, 2: done
    path = []

    def visit(node):
        state[node] = 1
        path.append(node)
        for target in sorted(graph.get(node, ())):
            if state.get(target) == 1:
                return path[path.index(target):] + [target]
            if target not in state:
                found = visit(target)
                if found:
                    return found
        path.pop()
        state[node] = 2
        return None

    for node in sorted(graph):
        if node not in state:
            found = visit(node)
            if found:
                return found
    return None


def check(src):
    cycle = find_cycle(uses(src))
    if cycle:
        print("include cycle between folders: " + " -> ".join(cycle), file=sys.stderr)
        return 1
    return 0


def self_test():
    with tempfile.TemporaryDirectory() as root:
        for folder, text in (("low", '#include "high/B.h"\n'), ("high", '#include "low/A.h"\n')):
            os.mkdir(os.path.join(root, folder))
            with open(os.path.join(root, folder, "X.cpp"), "w") as f:
                f.write(text)
        if check(root) != 1:
            print("self-test: the planted cycle low -> high -> low was not found", file=sys.stderr)
            return 1
        with open(os.path.join(root, "low", "X.cpp"), "w") as f:
            f.write('#include "low/A.h"\n')
        if check(root) != 0:
            print("self-test: a tree without a cycle was refused", file=sys.stderr)
            return 1
    return 0


if __name__ == "__main__":
    if sys.argv[1:] == ["--self-test"]:
        sys.exit(self_test())
    default = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "src")
    sys.exit(check(sys.argv[1] if len(sys.argv) > 1 else default))
