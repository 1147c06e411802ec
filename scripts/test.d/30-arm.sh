#!/usr/bin/env bash
# The whole suite cross-built for 32-bit ARM (armhf, NEON) and run under
# qemu-arm, against Tremor and libogg compiled from Debian's source, Tremor
# in its low-accuracy configuration (and Tremor's own tests again at its
# default accuracy). Without those sources the packaged
# armhf Tremor and libogg are used. Then the build staged as a device's root
# file system (scripts/arm-staged-install.sh), and the packaged-Tremor option
# configured against a device-style sysroot (scripts/arm-packaged-configure.sh).
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="$root/build/arm"
cache="${VELMORA_SOURCE_CACHE:-$HOME/.cache/velmora/sources}"

bash "$root/scripts/setup-armhf.sh"

mkdir -p "$build"
if tremor_tree="$(bash "$root/scripts/fetch-source.sh" libvorbisidec "$cache" 2>"$build/fetch.log")" &&
   ogg_tree="$(bash "$root/scripts/fetch-source.sh" libogg "$cache" 2>>"$build/fetch.log")"; then
    codec=(-DVELMORA_TREMOR_FROM_SOURCE=ON -DVELMORA_TREMOR_LOW_ACCURACY=ON -DVELMORA_OGG_FROM_SOURCE=ON
           -DVELMORA_TREMOR_SOURCE_DIR="$tremor_tree" -DVELMORA_OGG_SOURCE_DIR="$ogg_tree")
else
    echo "30-arm: a source package could not be fetched ($(tail -n 1 "$build/fetch.log")); testing against the packaged armhf Tremor and libogg instead"
    codec=(-DVELMORA_TREMOR_FROM_SOURCE=OFF -DVELMORA_OGG_FROM_SOURCE=OFF)
fi

cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/arm-linux-gnueabihf.cmake" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_BUILD_BENCH=OFF "${codec[@]}" >/dev/null
cmake --build "$build" -j2
ctest --test-dir "$build" --output-on-failure -j2
if [ "${codec[0]}" = -DVELMORA_TREMOR_FROM_SOURCE=ON ]; then
    bash "$root/scripts/arm-staged-install.sh" "$build"
    # Tremor's default accuracy has NEON kernels of its own on 32-bit ARM
    # (64-bit products): its kernel and whole-decode comparisons against the
    # reference Tremor built at that accuracy.
    full="$root/build/arm-full"
    cmake -S "$root" -B "$full" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/arm-linux-gnueabihf.cmake" \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_BUILD_BENCH=OFF -DVELMORA_BUILD_TOOLS=OFF \
        "${codec[@]}" -DVELMORA_TREMOR_LOW_ACCURACY=OFF >/dev/null
    cmake --build "$full" -j2 --target tremor_kernels_test tremor_pcm_test
    ctest --test-dir "$full" --output-on-failure -j2 -R '^Tremor(Kernels|Pcm)\.'
fi
bash "$root/scripts/arm-packaged-configure.sh"
