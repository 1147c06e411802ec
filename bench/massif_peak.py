#!/usr/bin/env python3
"""Reads the heap peak out of a massif profile (run with --pages-as-heap=no).

The peak is the largest mem_heap_B + mem_heap_extra_B over all snapshots:
the bytes asked for plus the allocator's own overhead. With --sites N, also
lists the N largest allocation sites alive at massif's peak snapshot, with
the first frame of each that is not an allocator or a ??? address.

Usage: massif_peak.py PROFILE [--sites N]
Prints peak_bytes=, peak_heap_bytes=, peak_extra_bytes= (for run.sh).
"""
import argparse
import re
import sys

TREE_LINE = re.compile(r"^( *)n(\d+): (\d+) (.*)$")


def read_snapshots(path):
    """Yields (heap, extra, tree_lines) per snapshot; tree_lines empty if none."""
    heap = extra = 0
    tree = []
    with open(path, encoding="utf-8", errors="replace") as lines:
        for raw in lines:
            line = raw.rstrip("\n")
            if line.startswith("snapshot="):
                if tree is not None and (heap or extra or tree):
                    yield heap, extra, tree
                heap = extra = 0
                tree = []
            elif line.startswith("mem_heap_B="):
                heap = int(line.split("=", 1)[1])
            elif line.startswith("mem_heap_extra_B="):
                extra = int(line.split("=", 1)[1])
            elif TREE_LINE.match(line):
                tree.append(line)
    yield heap, extra, tree


SOURCE_FRAME = re.compile(r"\((?!dl-)[^()]+\.(?:c|cc|cpp|h):\d+\)$")


def telling_frame(frames):
    """The first frame with a source line (ours or the host's): who asked.

    The dependencies carry no line information, so this skips past their
    frames to the call in Velmora or in the benchmark that led to them.
    """
    for frame in frames:
        if SOURCE_FRAME.search(frame):
            return frame
    return frames[0] if frames else "?"


def top_sites(tree, count):
    """Top-level allocation sites of a detailed snapshot, largest first."""
    sites = []
    index = 1  # tree[0] is the root: total heap
    while index < len(tree):
        depth, _, size, label = TREE_LINE.match(tree[index]).groups()
        if len(depth) == 1:
            frames = [label]
            probe = index + 1
            while probe < len(tree) and len(TREE_LINE.match(tree[probe]).group(1)) > 1:
                frames.append(TREE_LINE.match(tree[probe]).group(4))
                probe += 1
            sites.append((int(size), label, telling_frame(frames)))
        index += 1
    return sorted(sites, reverse=True)[:count]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("profile")
    parser.add_argument("--sites", type=int, default=0)
    args = parser.parse_args()
    best = (0, 0, 0, [])
    detailed_peak = []
    for heap, extra, tree in read_snapshots(args.profile):
        if heap + extra > best[0]:
            best = (heap + extra, heap, extra, tree)
        if tree and heap + extra >= best[0]:
            detailed_peak = tree
    print("peak_bytes=%d" % best[0])
    print("peak_heap_bytes=%d" % best[1])
    print("peak_extra_bytes=%d" % best[2])
    if args.sites and detailed_peak:
        print()
        print("| bytes | allocated at | first frame with a source line |")
        print("|---|---|---|")
        for size, label, frame in top_sites(detailed_peak, args.sites):
            print("| %d | %s | %s |" % (size, label[:90], frame[:110]))
    return 0


if __name__ == "__main__":
    sys.exit(main())
