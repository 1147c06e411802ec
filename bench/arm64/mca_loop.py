#!/usr/bin/env python3
"""Picks one loop out of GCC's assembly for llvm-mca.

    mca_loop.py FILE.s PATTERN MIN_COUNT

A loop is the code from a label to a later branch back to it. Of the
innermost loops (no other loop inside) whose instructions match PATTERN (a
regular expression) at least MIN_COUNT times, the first in the file is
printed, instructions only, for llvm-mca to repeat as one loop step. The
kernels are inlined where GCC puts them, so they are found by what they
execute (64-bit products, lane multiplies), not by name.
"""
import re
import sys

LABEL = re.compile(r"^(\.?L[\w.]+|[A-Za-z_][\w.]*):")
BRANCH = re.compile(r"^\s+(b(\.?\w+)?|cbn?z|tbn?z)\s+(.*,\s*)?(\.?L[\w.]+)\s*$")


def instructions(lines):
    for line in lines:
        text = line.split("//")[0].rstrip()
        if text.startswith(("\t", " ")) and text.strip() and not text.strip().startswith("."):
            yield text.strip()


def loops(lines):
    labels = {}
    found = []
    for i, line in enumerate(lines):
        m = LABEL.match(line)
        if m:
            labels[m.group(1)] = i
        b = BRANCH.match(line)
        if b and b.group(4) in labels:
            found.append((labels[b.group(4)], i))
    return found


def main():
    path, pattern, least = sys.argv[1], re.compile(sys.argv[2]), int(sys.argv[3])
    with open(path) as f:
        lines = f.read().splitlines()
    spans = loops(lines)
    innermost = [s for s in spans
                 if not any(o != s and s[0] <= o[0] and o[1] <= s[1] for o in spans)]
    for start, end in sorted(innermost):
        body = list(instructions(lines[start:end + 1]))
        if sum(1 for ins in body if pattern.search(ins)) >= least:
            print("\n".join(body))
            return 0
    print(f"mca_loop: no loop in {path} matches {sys.argv[2]} {least} times", file=sys.stderr)
    return 1


if __name__ == "__main__":
    sys.exit(main())
