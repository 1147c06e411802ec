#!/usr/bin/env bash
# The whole suite again under valgrind's memcheck: no invalid access, no use
# of uninitialised memory, no definite or indirect leak, in the library and
# in libogg and Tremor alike (which the sanitizers do not instrument).
#
# Slow tests take fewer rounds here: the session leak test runs
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

# nouserintercepts: valgrind replaces the C library's allocator only, so the
# dependency allocation test keeps its own in front of it.
options="--error-exitcode=1 --leak-check=full --errors-for-leak-kinds=definite,indirect"
options+=" --track-origins=yes --num-callers=30 --soname-synonyms=somalloc=nouserintercepts"
export VELMORA_LEAK_CYCLES="${VELMORA_LEAK_CYCLES:-60}"
ctest --test-dir "$build" -T memcheck -j2 --output-on-failure \
    --overwrite MemoryCheckCommand="$(command -v valgrind)" \
    --overwrite "MemoryCheckCommandOptions=$options"
