#!/usr/bin/env bash
# What the default build of each target costs a device: the module's size
# as built and stripped (what `cmake --install --strip` installs), the
# libraries it needs, the oldest glibc it loads with (the newest symbol
# version it references), the peak heap of a whole C host process that
# decodes each fixture through it (bench/heap_peak.c), and the most its
# decoder's budget is charged (bench/charged_peak.cpp); under qemu-arm for
# ARM. Each target is configured as a user would, with no build type and no
# option (Release), in build/footprint-TARGET.
#
#   bench/footprint.sh [native] [arm]       (default: both)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(native arm)

measure() {
    local target="$1" build="$root/build/footprint-$1" tools="" run=() toolchain=()
    if [ "$target" = arm ]; then
        tools=arm-linux-gnueabihf-
        run=(qemu-arm)
        toolchain=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/arm-linux-gnueabihf.cmake")
    fi
    cmake -S "$root" -B "$build" "${toolchain[@]}" -DVELMORA_BUILD_TESTS=OFF -DVELMORA_BUILD_TOOLS=OFF >/dev/null
    cmake --build "$build" -j2 --target velmora_module velmora_heap_peak velmora_charged_peak >/dev/null
    local module="$build/Velmora.ovl"
    "${tools}strip" -o "$build/Velmora.stripped" "$module"
    local needed floor
    needed="$("${tools}readelf" -d "$module" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | tr '\n' ' ')"
    floor="$("${tools}objdump" -T "$module" | grep -o 'GLIBC_[0-9.]*' | sort -uV | tail -n 1)"
    echo "$target: build type $(sed -n 's/^CMAKE_BUILD_TYPE:STRING=//p' "$build/CMakeCache.txt")"
    echo "$target: Velmora.ovl $(stat -c %s "$module") bytes, stripped $(stat -c %s "$build/Velmora.stripped")"
    echo "$target: needs ${needed}"
    echo "$target: oldest glibc ${floor#GLIBC_}, for $("${tools}objdump" -T "$module" | grep -F "($floor)" | awk '{print $NF}' | tr '\n' ' ')"
    for fixture in mono44 stereo44 six48; do
        echo "$target: $fixture.ogg $("${run[@]}" "$build/bench/velmora_heap_peak" "$root/fixtures/$fixture.ogg")" \
             "$("${run[@]}" "$build/bench/velmora_charged_peak" "$root/fixtures/$fixture.ogg" | sed 's/.* //')"
    done
}

for target in "${targets[@]}"; do measure "$target"; done
