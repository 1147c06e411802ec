#!/usr/bin/env python3
"""Attributes a callgrind profile to the code it was spent in.

callgrind_annotate lists functions, but it does not tag every line of
inlined code with its object, so shares are read here straight from the
profile: each self-cost line belongs to the function it sits in, and the cost
line after a calls= line (the callee's inclusive cost) is skipped. A function
is Tremor's or libogg's when its object is their shared library or its
source file lies in their source tree (a Tremor compiled from source is
linked into the module and the host); otherwise it is the library's own when
it lies in the own object, the host's when it lies in the host program, and
the runtime's (C and C++ libraries, loader) for the rest. Also counts the
calls that the library's own code makes into the C heap, and the calls of
the platform's plat_local_alloc.

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
NAME_REFERENCE = re.compile(r"^\((\d+)\)(?: (.*))?$")


def is_heap_function(name):
    return name in HEAP_FUNCTIONS or name.startswith("operator new")


class NameTable:
    """Callgrind's name compression: '(id) name' defines, '(id)' refers."""

    def __init__(self):
        self.names = {}

    def resolve(self, text):
        match = NAME_REFERENCE.match(text)
        if not match:
            return text
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
        self.calls = collections.Counter()  # ((object, fn), callee fn) -> count
        self.calls_by_callee = collections.Counter()  # callee fn -> count
        self.file_of = {}  # (object, fn) -> the function's source file
        self.summary = None


def read_profile(path):
    profile = Profile()
    objects, files, functions = NameTable(), NameTable(), NameTable()
    current_object = current_function = None
    current_file = function_file = None
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
            elif key == "fl":
                current_file = files.resolve(value)
            elif key in ("fi", "fe", "cfi", "cfl"):
                files.resolve(value)  # inlined or callee files: names only
            elif key == "fn":
                current_function = functions.resolve(value)
                function_file = current_file
                profile.file_of[(current_object, current_function)] = function_file
                callee_object = None
            elif key == "cob":
                callee_object = objects.resolve(value)
            elif key == "cfn":
                callee_function = functions.resolve(value)
            elif key == "calls":
                count = int(value.split()[0])
                profile.calls[((current_object, current_function), callee_function)] += count
                profile.calls_by_callee[callee_function] += count
                callee_object = None
                skip_next_cost = True
            elif line.startswith("summary:"):
                profile.summary = int(line.split()[1])
    return profile


def group_of(object_path, source_file, own, host):
    base = os.path.basename(object_path or "???")
    source = source_file or ""
    if base.startswith("libvorbisidec") or "vorbisidec" in source:
        return "tremor"
    if base.startswith("libogg") or "/libogg" in source:
        return "libogg"
    if base == own:
        return "own"
    if base == host:
        return "host"
    return "runtime"  # C and C++ libraries, the loader, anything unnamed


GROUPS = ("own", "host", "libogg", "tremor", "runtime")


def print_shares(profile, group_by_function):
    total = sum(profile.self_cost_by_object.values())
    cost_by_group = collections.Counter()
    for key, cost in profile.self_cost_by_function.items():
        cost_by_group[group_by_function.get(key, "runtime")] += cost
    print("total_ir=%d" % total)
    if profile.summary is not None:
        print("summary_ir=%d" % profile.summary)
    for name in GROUPS:
        cost = cost_by_group[name]
        print("%s_ir=%d" % (name, cost))
        print("%s_share_pct=%.4f" % (name, 100.0 * cost / total if total else 0.0))
    return total, cost_by_group["own"]


def print_own_allocations(profile, group_by_function):
    heap_calls = collections.Counter()
    mapping_calls = 0
    for (caller, callee), count in profile.calls.items():
        if group_by_function.get(caller) != "own":
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


def print_own_functions(profile, group_by_function, own, total, own_total, count):
    print()
    print("| function in %s | self Ir | of own code | of total |" % own)
    print("|---|---|---|---|")
    rows = [(cost, key[1]) for key, cost in profile.self_cost_by_function.items()
            if group_by_function.get(key) == "own" and cost > 0]
    for cost, fn in sorted(rows, reverse=True)[:count]:
        print("| %s | %d | %.1f%% | %.4f%% |" %
              (fn, cost, 100.0 * cost / own_total if own_total else 0.0,
               100.0 * cost / total if total else 0.0))


def report(profile, own, host, top_functions):
    group_by_function = {key: group_of(key[0], source, own, host)
                         for key, source in profile.file_of.items()}
    total, own_total = print_shares(profile, group_by_function)
    print_own_allocations(profile, group_by_function)
    if top_functions:
        print_own_functions(profile, group_by_function, own, total, own_total, top_functions)


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
