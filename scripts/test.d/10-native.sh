#!/usr/bin/env bash
# The whole suite, native default build: Tremor compiled from Debian's source
# with our patches, full accuracy; the packaged-Tremor test compares its PCM
# with Debian's packaged library over every input.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="$root/build/native"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)"
# The soak: here, and only here, the session leak test runs 10,000 whole
# sessions (every source kind) and checks heap, descriptors and mappings.
VELMORA_LEAK_CYCLES="${VELMORA_LEAK_CYCLES:-10000}" ctest --test-dir "$build" --output-on-failure -j"$(nproc)"
