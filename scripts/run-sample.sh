#!/usr/bin/env bash
# Decodes the bundled sample, fixtures/sample.ogg, into a WAV file: installs
# what is missing, builds the command-line host and runs it. The compiler's
# output goes to build/sample/build.log and is shown only if the build fails.
#   scripts/run-sample.sh [OUTPUT.wav]     (default: sample.wav in the repository)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build/sample"
log="$build/build.log"
output="${1:-$root/sample.wav}"

echo "== installing build dependencies (scripts/setup.sh)"
bash "$root/scripts/setup.sh"

echo "== configuring and building velmora-decode in build/sample"
mkdir -p "$build"
if ! { cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release \
           -DVELMORA_BUILD_TESTS=OFF -DVELMORA_BUILD_BENCH=OFF &&
       cmake --build "$build" --target velmora-decode -j"$(nproc)"; } >"$log" 2>&1; then
    cat "$log"
    echo "== build failed (log: $log)"
    exit 1
fi

echo "== decoding fixtures/sample.ogg to $output"
"$build/tools/velmora-decode" "$root/fixtures/sample.ogg" -o "$output"
echo "== done: $output"
