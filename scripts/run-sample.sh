#!/usr/bin/env bash
# Decodes the bundled sample, fixtures/sample.ogg, into a WAV file: installs
# what is missing, builds the command-line host and runs it.
#   scripts/run-sample.sh [OUTPUT.wav]     (default: sample.wav in the repository)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build/sample"
output="${1:-$root/sample.wav}"

echo "== installing build dependencies (scripts/setup.sh)"
bash "$root/scripts/setup.sh"

echo "== configuring and building velmora-decode in build/sample"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release \
    -DVELMORA_BUILD_TESTS=OFF -DVELMORA_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --target velmora-decode -j"$(nproc)" >/dev/null

echo "== decoding fixtures/sample.ogg to $output"
"$build/tools/velmora-decode" "$root/fixtures/sample.ogg" -o "$output"
echo "== done: $output"
