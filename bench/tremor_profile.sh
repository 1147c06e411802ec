#!/usr/bin/env bash
# Where an ov_read decode goes, per Tremor function, before and after the
# speed patches (cmake/tremor-patches/0020 to 0037): the reference Tremor and
# the build's, in one program (tremor_ab), counted under qemu-arm with
# bench/arm/qemu_module_icount.c for an ARM cross build, under callgrind
# for a native one. Counts are of the whole run (start-up included).
#
# Usage: bench/tremor_profile.sh BUILD [FILE]   (FILE: an input stem,
#        default stereo44_q8)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(cd "$1" && pwd)"
file="${2:-stereo44_q8}"
out="$build/tremor-ab"
mkdir -p "$out"
cmake --build "$build" -j2 --target tremor_ab >/dev/null
bash "$root/bench/make_inputs.sh" "$root/build/bench/inputs" >/dev/null
input="$root/build/bench/inputs/$file.ogg"

if grep -q '^CMAKE_TOOLCHAIN_FILE:.*arm-linux-gnueabihf' "$build/CMakeCache.txt"; then
    gcc -O2 -shared -fPIC "$root/bench/arm/qemu_module_icount.c" -o "$out/libicount.so"
    for which in reference patched; do
        qemu-arm -plugin "$out/libicount.so,out=$out/$file.$which.blocks,detail=tremor_ab" \
            "$build/bench/tremor_ab" "$which" "$input" >/dev/null
    done
    python3 "$root/bench/tremor_functions.py" qemu "$out/$file.reference.blocks" \
        "$out/$file.patched.blocks" "$build/bench/tremor_ab"
else
    for which in reference patched; do
        valgrind --tool=callgrind --callgrind-out-file="$out/$file.$which.functions" \
            "$build/bench/tremor_ab" "$which" "$input" >/dev/null 2>&1
    done
    python3 "$root/bench/tremor_functions.py" callgrind "$out/$file.reference.functions" \
        "$out/$file.patched.functions"
fi
