#!/usr/bin/env bash
# The whole suite cross-built for 32-bit ARM (armhf, NEON) and run under
# qemu-arm, against Tremor compiled from Debian's source in its low-accuracy
# configuration. Without that source the packaged armhf Tremor is used.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="$root/build/arm"
cache="${VELMORA_SOURCE_CACHE:-$HOME/.cache/velmora/sources}"

bash "$root/scripts/setup-armhf.sh"

mkdir -p "$build"
tremor=(-DVELMORA_TREMOR_FROM_SOURCE=ON -DVELMORA_TREMOR_LOW_ACCURACY=ON)
if ! tree="$(bash "$root/scripts/fetch-source.sh" libvorbisidec "$cache" 2>"$build/fetch.log")"; then
    echo "30-arm: Tremor's source package could not be fetched ($(tail -n 1 "$build/fetch.log")); testing against the packaged armhf Tremor instead"
    tremor=(-DVELMORA_TREMOR_FROM_SOURCE=OFF -DVELMORA_TREMOR_LOW_ACCURACY=OFF)
else
    tremor+=(-DVELMORA_TREMOR_SOURCE_DIR="$tree")
fi

cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/arm-linux-gnueabihf.cmake" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_BUILD_BENCH=OFF "${tremor[@]}" >/dev/null
cmake --build "$build" -j2
ctest --test-dir "$build" --output-on-failure -j2
