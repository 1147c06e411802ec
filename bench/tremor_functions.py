#!/usr/bin/env python3
"""Instructions per Tremor function of two profiles of one decode, the
reference Tremor's and the patched one's, side by side (bench/tremor_profile.sh).

    tremor_functions.py qemu REFERENCE PATCHED BINARY [--top N]
    tremor_functions.py callgrind REFERENCE PATCHED [--top N]

qemu: profiles of bench/arm/qemu_module_icount.c run with detail=<BINARY's
file name>; BINARY's symbols place each block in a function. callgrind:
callgrind outputs, whose functions are read with callgrind_annotate (code
inlined from a header is charged to the function it was inlined into). The
reference's symbols carry the prefix reference_tremor_, taken off so that
the two columns line up; the rest of the process (libogg, the C library,
the loader) is one line.
"""
import argparse
import bisect
import os
import subprocess
import sys

# The profile and symbol readers the library's own attribution uses.
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "arm"))
from attribute import CALLGRIND_LINE, function_symbols, read_profile  # noqa: E402

PREFIX = "reference_tremor_"


def qemu_functions(profile, binary):
    symbols = function_symbols(binary, "arm-linux-gnueabihf-nm")
    starts = [s[0] for s in symbols]
    total, _, blocks = read_profile(profile)
    counts = {}
    for address, count in blocks:
        i = bisect.bisect_right(starts, address) - 1
        name = symbols[i][2] if i >= 0 and address < symbols[i][1] else "(PLT stubs, other code)"
        counts[name] = counts.get(name, 0) + count
    counts["(libogg, the C library, the loader)"] = total - sum(counts.values())
    return counts, total


def callgrind_functions(profile):
    out = subprocess.run(["callgrind_annotate", "--threshold=100", "--inclusive=no", profile],
                         capture_output=True, text=True, check=True).stdout
    counts, total = {}, 0
    for line in out.splitlines():
        if line.rstrip().endswith("PROGRAM TOTALS"):
            total = int(line.split()[0].replace(",", ""))
            continue
        m = CALLGRIND_LINE.match(line)
        if m:
            name = m.group(2)
            if m.group(3) and "tremor_ab" not in m.group(3):
                name = "(libogg, the C library, the loader)"
            counts[name] = counts.get(name, 0) + int(m.group(1).replace(",", ""))
    return counts, total


def strip(counts):
    out = {}
    for name, count in counts.items():
        name = name[len(PREFIX):] if name.startswith(PREFIX) else name
        out[name] = out.get(name, 0) + count
    return out


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("kind", choices=["qemu", "callgrind"])
    parser.add_argument("reference")
    parser.add_argument("patched")
    parser.add_argument("binary", nargs="?")
    parser.add_argument("--top", type=int, default=14)
    args = parser.parse_args()
    if args.kind == "qemu":
        if not args.binary:
            sys.exit("tremor_functions.py: qemu profiles need the binary")
        (reference, reference_total), (patched, patched_total) = (
            qemu_functions(args.reference, args.binary), qemu_functions(args.patched, args.binary))
    else:
        (reference, reference_total), (patched, patched_total) = (
            callgrind_functions(args.reference), callgrind_functions(args.patched))
    reference, patched = strip(reference), strip(patched)
    names = sorted(set(reference) | set(patched), key=lambda n: -max(reference.get(n, 0), patched.get(n, 0)))
    print("| function | unpatched (M) | patched (M) |")
    print("|---|---|---|")
    shown_reference = shown_patched = 0
    for name in names[:args.top]:
        r, p = reference.get(name, 0), patched.get(name, 0)
        shown_reference += r
        shown_patched += p
        print(f"| `{name}` | {r / 1e6:.1f} | {p / 1e6:.1f} |")
    print(f"| everything else | {(reference_total - shown_reference) / 1e6:.1f} |"
          f" {(patched_total - shown_patched) / 1e6:.1f} |")
    print(f"| whole run | {reference_total / 1e6:.1f} | {patched_total / 1e6:.1f} |")


if __name__ == "__main__":
    main()
