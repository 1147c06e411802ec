#!/usr/bin/env bash
# The whole suite, native build, against Tremor compiled from Debian's source
# in its low-accuracy configuration, with our patches (cmake/tremor-patches):
# the reference decoder is the same build, and the dependency-allocation
# test tolerates no crash.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="$root/build/lowacc"
cache="${VELMORA_SOURCE_CACHE:-$HOME/.cache/velmora/sources}"

mkdir -p "$build"
if ! tree="$(bash "$root/scripts/fetch-source.sh" libvorbisidec "$cache" 2>"$build/fetch.log")" ||
   ! ogg_tree="$(bash "$root/scripts/fetch-source.sh" libogg "$cache" 2>>"$build/fetch.log")"; then
    echo "40-lowacc: skipped: a source package could not be fetched ($(tail -n 1 "$build/fetch.log"))"
    exit 0
fi
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_BUILD_BENCH=OFF \
    -DVELMORA_TREMOR_FROM_SOURCE=ON -DVELMORA_TREMOR_LOW_ACCURACY=ON -DVELMORA_TREMOR_SOURCE_DIR="$tree" \
    -DVELMORA_OGG_SOURCE_DIR="$ogg_tree" >/dev/null
cmake --build "$build" -j2
ctest --test-dir "$build" --output-on-failure -j2
