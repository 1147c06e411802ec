#!/usr/bin/env python3
"""Splits a qemu_module_icount profile of one decode into the library's own
code and the rest.

    attribute.py PROFILE MODULE OWN_ARCHIVE [--baseline PROFILE] [--top N]

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
import subprocess

NM = os.environ.get("NM", "arm-linux-gnueabihf-nm")


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


def function_symbols(binary):
    """Sorted (start, end, name) of the functions and other code symbols."""
    out = subprocess.run([NM, "--defined-only", "-S", binary], capture_output=True, text=True,
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


def own_names(archive):
    out = subprocess.run([NM, "--defined-only", archive], capture_output=True, text=True,
                         check=True).stdout
    return {parts[2] for parts in (l.split() for l in out.splitlines())
            if len(parts) == 3 and parts[1] in "tTwW"}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("profile")
    parser.add_argument("module")
    parser.add_argument("own_archive")
    parser.add_argument("--baseline")
    parser.add_argument("--top", type=int, default=5)
    args = parser.parse_args()

    total, files, blocks = read_profile(args.profile)
    baseline = read_profile(args.baseline)[0] if args.baseline else 0
    symbols = function_symbols(args.module)
    starts = [s[0] for s in symbols]
    own = own_names(args.own_archive)

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
