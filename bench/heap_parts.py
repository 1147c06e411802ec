#!/usr/bin/env python3
"""What the heap holds at a massif profile's peak, by part of a decoder.

Each allocation alive at the peak (run massif with --threshold=0.0 so none is
folded away) is put in the part of the first frame on its call stack, from
the allocation outward, that one of PARTS names. Prints, per part, the bytes
at the peak divided by --count (decoders held), then the allocator's own
overhead and the total, as a markdown table column in key=value lines.

The same program run with no decoder (--baseline) gives what the host holds
of its own (the C++ runtime's pool, stdout's buffer); it is taken off first.

Usage: heap_parts.py PROFILE --count N --baseline PROFILE0
"""
import argparse
import re
from collections import OrderedDict

TREE_LINE = re.compile(r"^( *)n(\d+): (\d+) (.*)$")
FUNCTION = re.compile(r"^0x[0-9A-Fa-f]+: (.+?) \(")

# (part, pattern over a frame's function name), tried in order on each frame.
PARTS = [
    ("record", re.compile(r"^(plat_local_alloc|qdx_ogg_create|ovread_player)$|ovread_player::ovread_player")),
    ("codeword_tables", re.compile(r"^book_init_fasttable$")),
    ("libogg_sync", re.compile(r"^ogg_sync_")),
    ("libogg_stream", re.compile(r"^(ogg_stream_|_os_)")),
    ("tremor_codebooks", re.compile(r"book")),
    ("tremor_synthesis", re.compile(r"^(vorbis_synthesis_init|vorbis_dsp_|_vds_|vorbis_block_|_vorbis_block_|mdct)")),
    ("tremor_setup", re.compile(r"^(vorbis_info_|vorbis_comment_|_vorbis_unpack|vorbis_synthesis_headerin|floor|res\d|mapping|_vorbis_|vorbis_)")),
    ("ivorbisfile", re.compile(r"^(ov_|_fetch_|_open_|_make_decode_ready|_process_packet)")),
]
ORDER = [name for name, _ in PARTS] + ["other"]


def peak_snapshot(path):
    """(heap, extra, tree lines) of the snapshot massif marked as the peak."""
    heap = extra = 0
    tree, is_peak, found = [], False, None
    with open(path, encoding="utf-8", errors="replace") as lines:
        for raw in lines:
            line = raw.rstrip("\n")
            if line.startswith("snapshot="):
                if is_peak:
                    found = (heap, extra, tree)
                heap = extra = 0
                tree, is_peak = [], False
            elif line.startswith("mem_heap_B="):
                heap = int(line.split("=", 1)[1])
            elif line.startswith("mem_heap_extra_B="):
                extra = int(line.split("=", 1)[1])
            elif line == "heap_tree=peak":
                is_peak = True
            elif TREE_LINE.match(line):
                tree.append(line)
    if is_peak:
        found = (heap, extra, tree)
    if found is None:
        raise SystemExit(f"{path}: no peak snapshot (run massif with --peak-inaccuracy=0.0)")
    return found


def part_of(frames):
    for frame in frames:
        match = FUNCTION.match(frame)
        if not match:
            continue
        for name, pattern in PARTS:
            if pattern.search(match.group(1)):
                return name
    return "other"


def parts_at_peak(tree):
    """Bytes per part: each leaf of the tree, classified by its stack."""
    totals = OrderedDict((name, 0) for name in ORDER)
    stack = []  # (depth, label)
    parsed = [TREE_LINE.match(line).groups() for line in tree]
    for index, (indent, children, size, label) in enumerate(parsed):
        depth = len(indent)
        while stack and stack[-1][0] >= depth:
            stack.pop()
        stack.append((depth, label))
        if int(children) == 0 and depth > 0:
            frames = [entry[1] for entry in stack[1:]]  # from the allocation outward
            totals[part_of(frames)] += int(size)
    return totals


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("profile")
    parser.add_argument("--count", type=int, required=True)
    parser.add_argument("--baseline", required=True)
    args = parser.parse_args()
    heap, extra, tree = peak_snapshot(args.profile)
    base_heap, base_extra, base_tree = peak_snapshot(args.baseline)
    held = parts_at_peak(tree)
    own = parts_at_peak(base_tree)
    count = max(args.count, 1)
    for name in ORDER:
        print(f"{name}={(held[name] - own[name]) / count:.0f}")
    print(f"allocator_overhead={(extra - base_extra) / count:.0f}")
    print(f"per_decoder={(heap + extra - base_heap - base_extra) / count:.0f}")


if __name__ == "__main__":
    main()
