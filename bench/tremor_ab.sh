#!/usr/bin/env bash
# What Tremor's speed patches (cmake/tremor-patches/0020 to 0037) save, in
# instructions: for each benchmark input, ov_read with the build's Tremor
# against ov_read with the reference Tremor (same source and configuration
# without those patches), and Velmora (velmora_bench over the build's
# Tremor) against that same reference, the yardstick of the speed targets.
# A cross build for ARM is counted under qemu-arm (qemu-aarch64 for arm64)
# with bench/arm/qemu_module_icount.c, a native one under callgrind; each
# count has the program's start-up (a run that decodes nothing) taken off.
#
# Usage: bench/tremor_ab.sh BUILD [FILE...]
#   BUILD: a from-source build with tests and the bench (targets tremor_ab
#          and velmora_bench are built here); FILE: stems of the inputs
#          (default stereo44_q8 mono44_q4 six48_q4)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(cd "$1" && pwd)"
shift
files=("$@")
[ ${#files[@]} -gt 0 ] || files=(stereo44_q8 mono44_q4 six48_q4)
out="$build/tremor-ab"
mkdir -p "$out"
cmake --build "$build" -j2 --target tremor_ab velmora_bench >/dev/null
bash "$root/bench/make_inputs.sh" "$root/build/bench/inputs" >/dev/null

case "$(grep '^CMAKE_TOOLCHAIN_FILE:' "$build/CMakeCache.txt" || true)" in
    *arm-linux-gnueabihf*) qemu=qemu-arm ;;
    *aarch64-linux-gnu*) qemu=qemu-aarch64 ;;
    *) qemu= ;;
esac
if [ -n "$qemu" ]; then
    gcc -O2 -shared -fPIC "$root/bench/arm/qemu_module_icount.c" -o "$out/libicount.so"
    # count OUT PROGRAM ARGS...: instructions of one run under qemu
    count() {
        local result="$1"
        shift
        "$qemu" -plugin "$out/libicount.so,out=$result" "$@" >/dev/null
        awk '$1 == "total" { print $2 }' "$result"
    }
else
    count() {
        local result="$1"
        shift
        valgrind --tool=callgrind --callgrind-out-file="$result" "$@" 2>&1 >/dev/null |
            awk '/Collected :/ { print $NF }'
    }
fi

echo "| input | ov_read, reference (M) | ov_read, patched (M) | ratio | Velmora (M) | Velmora / reference ov_read |"
echo "|---|---|---|---|---|---|"
for file in "${files[@]}"; do
    input="$root/build/bench/inputs/$file.ogg"
    none="$(count "$out/$file.none" "$build/bench/tremor_ab" none "$input")"
    reference="$(count "$out/$file.reference" "$build/bench/tremor_ab" reference "$input")"
    patched="$(count "$out/$file.patched" "$build/bench/tremor_ab" patched "$input")"
    bench_none="$(count "$out/$file.bench-none" "$build/bench/velmora_bench" --decoder none --input memory "$input")"
    velmora="$(count "$out/$file.velmora" "$build/bench/velmora_bench" --decoder velmora --input memory "$input")"
    awk -v f="$file" -v n="$none" -v r="$reference" -v p="$patched" -v bn="$bench_none" -v v="$velmora" 'BEGIN {
        r -= n; p -= n; v -= bn
        printf "| %s | %.1f | %.1f | %.3f | %.1f | %.3f |\n", f, r / 1e6, p / 1e6, p / r, v / 1e6, v / r }'
done
