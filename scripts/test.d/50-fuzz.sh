#!/usr/bin/env bash
# Each fuzzer for a bounded time (VELMORA_FUZZ_SECONDS, 75 s by default), one
# process at a time, built with clang's libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer. Seeds: the fixtures, the shared test vectors and
# fuzz/regressions. A broken promise, crash, leak or hang fails the step and
# leaves the input in build/fuzz-ci/artifacts/. fuzz_setup_header makes its own
# streams from random recipes (fuzz/README.md).
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="$root/build/fuzz-ci"
seconds="${VELMORA_FUZZ_SECONDS:-75}"

bash "$root/scripts/install-missing.sh" 50-fuzz clang libclang-rt-14-dev

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVELMORA_BUILD_FUZZERS=ON -DVELMORA_SANITIZE=ON -DVELMORA_BUILD_TESTS=OFF \
    -DVELMORA_BUILD_TOOLS=OFF -DVELMORA_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j2 --target fuzz_memory_decode fuzz_host_session fuzz_setup_header

for name in fuzz_memory_decode fuzz_host_session fuzz_setup_header; do
    log="$build/$name.log"
    if ! bash "$root/fuzz/run_fuzzer.sh" "$build" "$name" "$seconds" >"$log" 2>&1; then
        tail -n 60 "$log"
        echo "$name: broke a promise; input kept in $build/artifacts/$name/"
        exit 1
    fi
    grep -E "^stat::(number_of_executed_units|average_exec_per_sec)|DONE" "$log" | sed "s/^/$name: /"
done
