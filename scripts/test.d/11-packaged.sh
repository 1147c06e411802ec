#!/usr/bin/env bash
# The whole suite against Debian's packaged Tremor (-DVELMORA_TREMOR_FROM_SOURCE=OFF),
# the option for hosts that link the system's library: stream start's setup
# check must keep every hostile setup header away from it.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="$root/build/packaged"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_BUILD_BENCH=OFF \
    -DVELMORA_TREMOR_FROM_SOURCE=OFF >/dev/null
cmake --build "$build" -j"$(nproc)"
ctest --test-dir "$build" --output-on-failure -j"$(nproc)"
