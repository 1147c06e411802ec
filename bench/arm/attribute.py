#!/usr/bin/env python3
"""Splits a qemu_module_icount profile of one decode into the library's own
code and the rest.

    attribute.py PROFILE MODULE OWN_ARCHIVE [--baseline PROFILE] [--top N]
    attribute.py --callgrind CALLGRIND_OUT MODULE OWN_ARCHIVE

The second form reads a callgrind profile of an x86-64 build instead
(recorded with --demangle=no, collected inside the decode only): there a
function is own by its name alone, wherever it was inlined.

PROFILE comes from the plugin run with detail=<module's file name>. MODULE is
that file (Velmora.ovl); its symbols place each block in a function. A
function is the library's own when OWN_ARCHIVE (libvelmora_core.a, the same
objects) defines it; everything else in the module is statically linked
codec code (Tremor built from source) or linker glue (PLT stubs). A baseline
profile (the same program decoding nothing) is taken off the whole-process
total, so that the total is the decode's.

Prints "key value" lines: total, baseline, decode, module, own, codec_in_module,
glue, then per-file counts and the busiest own functions.
"""
import argparse
import bisect
import os
import re
import subprocess

# "  1,234 (0.5%)  file:function [object]"; code inlined from a header has no
# object.
CALLGRIND_LINE = re.compile(r"^\s*([\d,]+)\s+\([^)]*\)\s+\S*?:(\S+)(?: \[(.*)\])?$")


def read_profile(path):
    total, files, blocks = 0, {}, []
    with open(path) as f:
        for line in f:
            kind, *rest = line.split()
            if kind == "total":
                total = int(rest[0])
            elif kind == "file":
                files[rest[0]] = int(rest[1])
            elif kind == "block":
                blocks.append((int(rest[1], 16), int(rest[2])))
    return total, files, blocks


def function_symbols(binary, nm):
    """Sorted (start, end, name) of the functions and other code symbols."""
    out = subprocess.run([nm, "--defined-only", "-S", binary], capture_output=True, text=True,
                         check=True).stdout
    symbols = []
    for line in out.splitlines():
        parts = line.split()
        if len(parts) != 4 or parts[2] not in "tTwW":
            continue
        start = int(parts[0], 16) & ~1  # Thumb functions have the low bit set
        symbols.append((start, start + int(parts[1], 16), parts[3]))
    symbols.sort()
    return symbols


def own_names(archive, nm):
    out = subprocess.run([nm, "--defined-only", archive], capture_output=True, text=True,
                         check=True).stdout
    return {parts[2] for parts in (l.split() for l in out.splitlines())
            if len(parts) == 3 and parts[1] in "tTwW"}


def callgrind_split(profile, own):
    """Total and own instructions of a callgrind profile."""
    out = subprocess.run(["callgrind_annotate", "--threshold=100", "--inclusive=no", profile],
                         capture_output=True, text=True, check=True).stdout
    total = own_total = 0
    for line in out.splitlines():
        if line.rstrip().endswith("PROGRAM TOTALS"):
            total = int(line.split()[0].replace(",", ""))
            continue
        m = CALLGRIND_LINE.match(line)
        if m and m.group(2) in own:
            own_total += int(m.group(1).replace(",", ""))
    print(f"total {total}")
    print("baseline 0")
    print(f"decode {total}")
    print(f"own {own_total}")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("profile")
    parser.add_argument("module")
    parser.add_argument("own_archive")
    parser.add_argument("--baseline")
    parser.add_argument("--callgrind", action="store_true")
    parser.add_argument("--top", type=int, default=5)
    args = parser.parse_args()
    # The ARM cross binutils read the ARM builds; the host's read x86-64.
    nm = os.environ.get("NM", "nm" if args.callgrind else "arm-linux-gnueabihf-nm")
    if args.callgrind:
        callgrind_split(args.profile, own_names(args.own_archive, nm))
        return

    total, files, blocks = read_profile(args.profile)
    baseline = read_profile(args.baseline)[0] if args.baseline else 0
    symbols = function_symbols(args.module, nm)
    starts = [s[0] for s in symbols]
    own = own_names(args.own_archive, nm)

    per_function, glue = {}, 0
    for addr, count in blocks:
        i = bisect.bisect_right(starts, addr) - 1
        if i < 0 or addr >= symbols[i][1]:
            glue += count  # no function here: PLT stubs
            continue
        name = symbols[i][2]
        per_function[name] = per_function.get(name, 0) + count

    own_total = sum(c for n, c in per_function.items() if n in own)
    codec_total = sum(c for n, c in per_function.items() if n not in own)
    module = own_total + codec_total + glue
    print(f"total {total}")
    print(f"baseline {baseline}")
    print(f"decode {total - baseline}")
    print(f"module {module}")
    print(f"own {own_total}")
    print(f"codec_in_module {codec_total}")
    print(f"glue {glue}")
    for path, count in sorted(files.items(), key=lambda kv: -kv[1]):
        print(f"file {os.path.basename(path)} {count}")
    busiest = sorted(((c, n) for n, c in per_function.items() if n in own), reverse=True)
    for count, name in busiest[: args.top]:
        print(f"own_function {name} {count}")


if __name__ == "__main__":
    main()
