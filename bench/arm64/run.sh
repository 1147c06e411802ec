#!/usr/bin/env bash
# Tremor's two configurations on 64-bit ARM (arm64, AArch64 with NEON), the
# figures the arm64 default accuracy is chosen from:
#
#   instructions  each configuration cross-built and counted under
#                 qemu-aarch64 with bench/arm/qemu_module_icount.c
#                 (bench/tremor_ab.sh): ov_read of the unpatched Tremor of
#                 the same configuration, ov_read of our patched Tremor and
#                 Velmora over it; beside them ov_read of Debian's packaged
#                 arm64 Tremor (libvorbisidec1:arm64, default accuracy)
#   quality       the PCM of each configuration's ov_read on arm64 against
#                 libvorbis's floating-point decoder (bench/quality's
#                 vorbis_snr, run natively on the arm64 PCM)
#   cycles        bench/arm64/mca.sh: llvm-mca's Cortex-A53 and Cortex-A76
#                 estimates of the AArch64 kernels and their C
#
# Usage: bench/arm64/run.sh [FILE...]   (stems of bench/make_inputs.sh's
#        inputs; default stereo44_q8 mono44_q4 six48_q4)
# Results: build/arm64-bench/results.md. Needs scripts/setup-arm64.sh.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
out="$root/build/arm64-bench"
files=("$@")
[ ${#files[@]} -gt 0 ] || files=(stereo44_q8 mono44_q4 six48_q4)
for tool in aarch64-linux-gnu-g++ qemu-aarch64 cmake gcc; do
    command -v "$tool" >/dev/null || { echo "run.sh: missing $tool (scripts/setup-arm64.sh)" >&2; exit 1; }
done
toolchain="$root/cmake/aarch64-linux-gnu.cmake"
inputs="$root/build/bench/inputs"
mkdir -p "$out/pcm"
bash "$root/bench/make_inputs.sh" "$inputs" >/dev/null
gcc -O2 -shared -fPIC "$root/bench/arm/qemu_module_icount.c" -o "$out/libicount.so"

declare -A accuracy=([default]=OFF [low]=ON)
results="$out/results.md"
: >"$results"

# Instructions: bench/tremor_ab.sh in a from-source build of each
# configuration (tests on, for the unpatched reference Tremor; only the two
# bench programs are built).
for name in default low; do
    dir="$out/$name"
    cmake -S "$root" -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DVELMORA_TREMOR_FROM_SOURCE=ON -DVELMORA_TREMOR_LOW_ACCURACY="${accuracy[$name]}" \
        -DVELMORA_BUILD_TESTS=ON -DVELMORA_BUILD_TOOLS=OFF -DVELMORA_BUILD_BENCH=ON >/dev/null
    { echo "arm64, $name accuracy (qemu-aarch64, millions of instructions)"; echo; } >>"$results"
    bash "$root/bench/tremor_ab.sh" "$dir" "${files[@]}" >>"$results"
    echo >>"$results"
done

# Debian's packaged arm64 Tremor: its ov_read through the same bench loop.
dir="$out/packaged"
cmake -S "$root" -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVELMORA_TREMOR_FROM_SOURCE=OFF -DVELMORA_BUILD_TESTS=OFF -DVELMORA_BUILD_TOOLS=OFF \
    -DVELMORA_BUILD_BENCH=ON >/dev/null
cmake --build "$dir" -j2 --target velmora_bench >/dev/null
# count OUT ARGS...: velmora_bench's instructions under qemu-aarch64
count() {
    local result="$1"
    shift
    qemu-aarch64 -plugin "$out/libicount.so,out=$result" "$dir/bench/velmora_bench" "$@" >/dev/null
    awk '$1 == "total" { print $2 }' "$result"
}
{
    echo "arm64, Debian's packaged Tremor (libvorbisidec1:arm64)"
    echo
    echo "| input | ov_read (M) |"
    echo "|---|---|"
} >>"$results"
for file in "${files[@]}"; do
    none="$(count "$out/pcm/packaged-$file.none" --decoder none --input memory "$inputs/$file.ogg")"
    ovread="$(count "$out/pcm/packaged-$file.ovread" --decoder ovread --input memory "$inputs/$file.ogg")"
    awk -v f="$file" -v n="$none" -v o="$ovread" 'BEGIN { printf "| %s | %.1f |\n", f, (o - n) / 1e6 }' >>"$results"
done

# Quality: each configuration's ov_read PCM on arm64 against libvorbis.
cmake -S "$root/bench/quality" -B "$out/snr" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVELMORA_TREMOR_FROM_SOURCE=OFF >/dev/null
cmake --build "$out/snr" -j2 --target vorbis_snr >/dev/null
{
    echo
    echo "| Tremor (arm64, qemu-aarch64) | input | SNR vs libvorbis (dB) | largest error | samples |"
    echo "|---|---|---|---|---|"
} >>"$results"
for name in default low; do
    dir="$out/quality-$name"
    cmake -S "$root/bench/quality" -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_QUALITY_SNR=OFF -DVELMORA_TREMOR_FROM_SOURCE=ON \
        -DVELMORA_TREMOR_LOW_ACCURACY="${accuracy[$name]}" >/dev/null
    cmake --build "$dir" -j2 --target tremor_pcm >/dev/null
    for file in stereo44_q8 stereo44_q0 mono44_q4 six48_q4; do
        pcm="$out/pcm/$name-$file.raw"
        qemu-aarch64 "$dir/tremor_pcm" "$inputs/$file.ogg" "$pcm"
        line="$("$out/snr/vorbis_snr" "$inputs/$file.ogg" "$pcm")"
        get() { sed -n "s/.*$1=\([^ ]*\).*/\1/p" <<<"$line"; }
        echo "| $name | $file | $(get snr_db) | $(get max_error) | $(get samples) |" >>"$results"
    done
done

if command -v llvm-mca >/dev/null; then
    echo >>"$results"
    bash "$root/bench/arm64/mca.sh" >>"$results"
fi
cat "$results"
