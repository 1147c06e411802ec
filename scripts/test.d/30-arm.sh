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
# The dependency-allocation test runs each failure in a forked child, and
# under qemu-arm those children die before they report; the native
# low-accuracy step runs it against the same patched Tremor.
echo "30-arm: dependency_allocations left to 40-lowacc (its forked children die under qemu-arm)"
# Under qemu-arm the cross toolchain's loader meets the armhf packages' C
# library, a newer build of it, and any second thread crashes in the C
# library; the native steps and 25-threads run the parallel decoders.
echo "30-arm: parallel_decoders left to the native steps (threads crash under qemu-arm's mixed C library)"
ctest --test-dir "$build" --output-on-failure -j2 -E '^(dependency_allocations|parallel_decoders)[.]'
