#!/usr/bin/env bash
# The whole suite again under valgrind's memcheck: no invalid access, no use
# of uninitialised memory, no definite or indirect leak, in the library and
# in libogg and Tremor alike (which the sanitizers do not instrument).
#
# ctest's own memcheck mode starts valgrind once per test case, and its
# start-up alone costs seconds; here each test program runs once with all its
# cases (other ctest tests, the fuzz replays, run as ctest lists them), two
# at a time. Slow tests take fewer rounds: the session leak test runs
# VELMORA_LEAK_CYCLES sessions, and the dependency allocation test fails
# every VELMORA_ALLOC_STRIDE-th allocation (it picks 15 under valgrind).
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="$root/build/fault-valgrind"

command -v valgrind >/dev/null || {
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq && apt-get install -y -qq --no-install-recommends valgrind >/dev/null
}

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j2

export VELMORA_LEAK_CYCLES="${VELMORA_LEAK_CYCLES:-60}"
ctest --test-dir "$build" --show-only=json-v1 >"$build/tests.json"
# nouserintercepts: valgrind replaces the C library's allocator only, so the
# dependency allocation test keeps its own in front of it.
python3 - "$build/tests.json" "$build/valgrind" <<'PY'
import concurrent.futures, json, os, subprocess, sys, time

tests = json.load(open(sys.argv[1]))["tests"]
logs = sys.argv[2]
os.makedirs(logs, exist_ok=True)
valgrind = ["valgrind", "--error-exitcode=99", "--leak-check=full",
            "--errors-for-leak-kinds=definite,indirect", "--track-origins=yes",
            "--num-callers=30", "--soname-synonyms=somalloc=nouserintercepts"]

# One run per test program for GoogleTest cases, one per command otherwise.
runs = {}
for test in tests:
    command = test["command"]
    props = {p["name"]: p["value"] for p in test.get("properties", [])}
    gtest = any(arg.startswith("--gtest_filter=") for arg in command)
    key = command[0] if gtest else test["name"]
    if key not in runs:
        args = command[:1] if gtest else command
        runs[key] = (args, props.get("WORKING_DIRECTORY"), props.get("SKIP_RETURN_CODE"))

def run(item):
    name, (args, cwd, skip_code) = item
    log = os.path.join(logs, os.path.basename(name) + ".log")
    start = time.time()
    done = subprocess.run(valgrind + ["--log-file=" + log] + args, cwd=cwd,
                          stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, errors="replace")
    return name, done.returncode, skip_code, time.time() - start, done.stdout, log

failed = []
with concurrent.futures.ThreadPoolExecutor(max_workers=2) as pool:
    for name, code, skip_code, seconds, output, log in pool.map(run, sorted(runs.items())):
        verdict = "passed" if code == 0 else "skipped" if code == skip_code else "FAILED"
        print(f"{verdict:8} {os.path.basename(name)} ({seconds:.0f} s)", flush=True)
        if verdict == "FAILED":
            failed.append(name)
            print(output[-4000:])
            print(open(log, errors="replace").read()[-8000:])
print(f"{len(runs) - len(failed)} passed, {len(failed)} failed")
sys.exit(1 if failed else 0)
PY
