#!/usr/bin/env python3
"""Attributes a callgrind profile to the objects its code lives in.

callgrind_annotate lists functions, but it does not tag every line of
inlined code with its object, so shares per object are read here straight
from the profile: each self-cost line belongs to the object of the function
it sits in, and the cost line after a calls= line (the callee's inclusive
cost) is skipped. Also counts the calls that the library's own object makes
into the C heap, and the calls of the platform's plat_local_alloc.

Usage:
  callgrind_objects.py PROFILE [--own Velmora.ovl] [--host velmora_bench]
                               [--functions N]

Prints key=value lines (for run.sh), then, with --functions, the N costliest
functions of the own object by self cost.
"""
import argparse
import collections
import os
import re
import sys

HEAP_FUNCTIONS = {
    "malloc", "calloc", "realloc", "reallocarray", "memalign", "valloc",
    "pvalloc", "aligned_alloc", "posix_memalign",
}
MAPPING_FUNCTIONS = {"mmap", "mmap64"}
NAME_SPEC = re.compile(r"^\((\d+)\)(?: (.*))?$")


def is_heap_function(name):
    return name in HEAP_FUNCTIONS or name.startswith("operator new")


class NameTable:
    """Callgrind's name compression: '(id) name' defines, '(id)' refers."""

    def __init__(self):
        self.names = {}

    def resolve(self, spec):
        match = NAME_SPEC.match(spec)
        if not match:
            return spec
        key, name = match.group(1), match.group(2)
        if name is not None:
            self.names[key] = name
        return self.names.get(key, "(" + key + ")")


def is_cost_line(line):
    return line[:1].isdigit() or line[:1] in "+-*"


def first_event(line):
    fields = line.split()
    return int(fields[1]) if len(fields) > 1 else 0


class Profile:
    def __init__(self):
        self.self_cost_by_object = collections.Counter()
        self.self_cost_by_function = collections.Counter()  # (object, fn)
        self.calls = collections.Counter()  # (caller object, callee fn) -> count
        self.calls_by_callee = collections.Counter()  # callee fn -> count
        self.summary = None


def read_profile(path):
    profile = Profile()
    objects, functions = NameTable(), NameTable()
    current_object = current_function = None
    callee_object = callee_function = None
    skip_next_cost = False
    with open(path, encoding="utf-8", errors="replace") as lines:
        for raw in lines:
            line = raw.rstrip("\n")
            if not line:
                continue
            if is_cost_line(line):
                if skip_next_cost:
                    skip_next_cost = False  # the callee's inclusive cost
                    continue
                cost = first_event(line)
                profile.self_cost_by_object[current_object] += cost
                profile.self_cost_by_function[(current_object, current_function)] += cost
                continue
            key, _, value = line.partition("=")
            if key == "ob":
                current_object = objects.resolve(value)
            elif key == "fn":
                current_function = functions.resolve(value)
                callee_object = None
            elif key == "cob":
                callee_object = objects.resolve(value)
            elif key == "cfn":
                callee_function = functions.resolve(value)
            elif key == "calls":
                count = int(value.split()[0])
                profile.calls[(current_object, callee_function)] += count
                profile.calls_by_callee[callee_function] += count
                callee_object = None
                skip_next_cost = True
            elif line.startswith("summary:"):
                profile.summary = int(line.split()[1])
    return profile


def group_of(object_path, own, host):
    base = os.path.basename(object_path or "???")
    if base == own:
        return "own"
    if base == host:
        return "host"
    if base.startswith("libogg"):
        return "libogg"
    if base.startswith("libvorbisidec"):
        return "tremor"
    return "runtime"  # C and C++ libraries, the loader, anything unnamed


def report(profile, own, host, top_functions):
    total = sum(profile.self_cost_by_object.values())
    groups = collections.Counter()
    for obj, cost in profile.self_cost_by_object.items():
        groups[group_of(obj, own, host)] += cost
    print("total_ir=%d" % total)
    if profile.summary is not None:
        print("summary_ir=%d" % profile.summary)
    for group in ("own", "host", "libogg", "tremor", "runtime"):
        cost = groups[group]
        print("%s_ir=%d" % (group, cost))
        print("%s_share_pct=%.4f" % (group, 100.0 * cost / total if total else 0.0))

    own_objects = [o for o in profile.self_cost_by_object if group_of(o, own, host) == "own"]
    heap_calls = collections.Counter()
    mapping_calls = 0
    for (caller_object, callee), count in profile.calls.items():
        if caller_object not in own_objects:
            continue
        if is_heap_function(callee):
            heap_calls[callee] += count
        elif callee in MAPPING_FUNCTIONS:
            mapping_calls += count
    print("own_heap_calls=%d" % sum(heap_calls.values()))
    print("own_heap_calls_by_function=%s" %
          (",".join("%s:%d" % kv for kv in sorted(heap_calls.items())) or "none"))
    print("own_mmap_calls=%d" % mapping_calls)
    local_alloc = sum(count for fn, count in profile.calls_by_callee.items()
                      if fn.startswith("plat_local_alloc("))
    print("plat_local_alloc_calls=%d" % local_alloc)

    if top_functions:
        own_total = groups["own"]
        print()
        print("| function in %s | self Ir | of own code | of total |" % own)
        print("|---|---|---|---|")
        rows = [(cost, fn) for (obj, fn), cost in profile.self_cost_by_function.items()
                if obj in own_objects and cost > 0]
        for cost, fn in sorted(rows, reverse=True)[:top_functions]:
            print("| %s | %d | %.1f%% | %.4f%% |" %
                  (fn, cost, 100.0 * cost / own_total if own_total else 0.0,
                   100.0 * cost / total if total else 0.0))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("profile")
    parser.add_argument("--own", default="Velmora.ovl")
    parser.add_argument("--host", default="velmora_bench")
    parser.add_argument("--functions", type=int, default=0)
    args = parser.parse_args()
    report(read_profile(args.profile), args.own, args.host, args.functions)
    return 0


if __name__ == "__main__":
    sys.exit(main())
