#!/usr/bin/env bash
# The suite built with clang instead of GCC, warnings as errors for our own
# code, under AddressSanitizer and UndefinedBehaviorSanitizer: a quiet build
# on both compilers, and the sanitized module as clang links it, loaded by
# the tests and the tools like any host.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="$root/build/clang"
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Debug -DVELMORA_SANITIZE=ON \
    -DCMAKE_COMPILE_WARNING_AS_ERROR=ON >/dev/null
cmake --build "$build" -j"$(nproc)"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir "$build" --output-on-failure -j"$(nproc)"
