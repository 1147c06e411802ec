#!/usr/bin/env bash
# The whole suite, native build, against Tremor compiled from Debian's source
# in its low-accuracy configuration: the reference decoder is the same build.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="$root/build/lowacc"
cache="${VELMORA_SOURCE_CACHE:-$HOME/.cache/velmora/sources}"

mkdir -p "$build"
if ! tree="$(bash "$root/scripts/fetch-source.sh" libvorbisidec "$cache" 2>"$build/fetch.log")"; then
    echo "40-lowacc: skipped: Tremor's source package could not be fetched ($(tail -n 1 "$build/fetch.log"))"
    exit 0
fi
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_BUILD_BENCH=OFF \
    -DVELMORA_TREMOR_FROM_SOURCE=ON -DVELMORA_TREMOR_LOW_ACCURACY=ON -DVELMORA_TREMOR_SOURCE_DIR="$tree" >/dev/null
cmake --build "$build" -j2
# The dependency-allocation test tells tolerated crashes inside Tremor by the
# shared library's name (libvorbisidec), which a statically linked Tremor
# does not have; it runs in the steps that use the packaged Tremor.
echo "40-lowacc: dependency_allocations left to the packaged-Tremor steps (static Tremor has no libvorbisidec to recognise)"
ctest --test-dir "$build" --output-on-failure -j2 -E '^dependency_allocations[.]'
