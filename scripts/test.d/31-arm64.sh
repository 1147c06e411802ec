#!/usr/bin/env bash
# The whole suite cross-built for 64-bit ARM (arm64, AArch64 with NEON) and
# run under qemu-aarch64, against Tremor compiled from Debian's source at its
# default accuracy (the arm64 build's default) with our patches; the
# packaged-Tremor test compares its PCM with Debian's arm64 libvorbisidec.
# Without the source the packaged arm64 Tremor is used.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="$root/build/arm64"
cache="${VELMORA_SOURCE_CACHE:-$HOME/.cache/velmora/sources}"

bash "$root/scripts/setup-arm64.sh"

mkdir -p "$build"
tremor=(-DVELMORA_TREMOR_FROM_SOURCE=ON)
if ! tree="$(bash "$root/scripts/fetch-source.sh" libvorbisidec "$cache" 2>"$build/fetch.log")"; then
    echo "31-arm64: Tremor's source package could not be fetched ($(tail -n 1 "$build/fetch.log")); testing against the packaged arm64 Tremor instead"
    tremor=(-DVELMORA_TREMOR_FROM_SOURCE=OFF)
else
    tremor+=(-DVELMORA_TREMOR_SOURCE_DIR="$tree")
fi

cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/aarch64-linux-gnu.cmake" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_BUILD_BENCH=OFF "${tremor[@]}" >/dev/null
cmake --build "$build" -j2
ctest --test-dir "$build" --output-on-failure -j2
