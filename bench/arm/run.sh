#!/usr/bin/env bash
# Velmora against Tremor's ov_read on 32-bit ARM, counted in instructions
# under qemu-arm: the benchmark host (bench/velmora_bench: 4096-byte calls
# over a memory block) cross-built once per Tremor configuration, each decode
# run under a qemu plugin that counts the instructions of every mapped file
# and of every function of Velmora.ovl. Beside it, the same two
# configurations on x86-64 under callgrind.
#
#   default       Tremor from Debian's source, default accuracy
#   low           the same with _LOW_ACCURACY_ (the ARM build's default)
#   low-asm       low accuracy with Tremor's ARM assembler (_ARM_ASSEM_)
#   low-portable  low accuracy, built for cores without NEON: the portable
#                 PCM conversion instead of the NEON one
#
# Usage: bench/arm/run.sh [--quick] [--no-x86]
#   --quick   stereo44_q8 only (default: all four benchmark inputs)
#   --no-x86  skip the callgrind runs
# Results: build/arm-bench/results.md (raw profiles in build/arm-bench/profiles).
# Exit status 1 when the library's own share of a stereo44_q8 decode on ARM
# (low accuracy, NEON) is above 1% of the decode's instructions.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
out="$root/build/arm-bench"
profiles="$out/profiles"
files=(stereo44_q8 stereo44_q0 mono44_q4 six48_q4)
x86=yes
for arg in "$@"; do
    case "$arg" in
        --quick) files=(stereo44_q8) ;;
        --no-x86) x86=no ;;
        *) echo "usage: bench/arm/run.sh [--quick] [--no-x86]" >&2; exit 2 ;;
    esac
done
for tool in arm-linux-gnueabihf-g++ qemu-arm python3 cmake gcc; do
    command -v "$tool" >/dev/null || { echo "run.sh: missing $tool (scripts/setup-armhf.sh)" >&2; exit 1; }
done
mkdir -p "$profiles"

configs=(default low low-asm low-portable)
declare -A options=(
    [default]="-DVELMORA_TREMOR_LOW_ACCURACY=OFF"
    [low]="-DVELMORA_TREMOR_LOW_ACCURACY=ON"
    [low-asm]="-DVELMORA_TREMOR_LOW_ACCURACY=ON -DVELMORA_TREMOR_ARM_ASM=ON"
    [low-portable]="-DVELMORA_TREMOR_LOW_ACCURACY=ON -DVELMORA_ARM_NEON=OFF")

# build DIR [CMAKE OPTIONS...]: the benchmark host, the module and the core
# (whose symbols tell the library's own functions from Tremor's).
build() {
    local dir="$1"
    shift
    cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_TREMOR_FROM_SOURCE=ON \
        -DVELMORA_BUILD_TESTS=OFF -DVELMORA_BUILD_TOOLS=OFF -DVELMORA_BUILD_BENCH=ON "$@" >/dev/null
    cmake --build "$dir" -j2 --target velmora_bench velmora_core >/dev/null
}

# get KEY FILE: the value of a "KEY value" line.
get() { awk -v k="$1" '$1 == k { print $2; exit }' "$2"; }
millions() { awk -v n="$1" 'BEGIN { printf "%.1f", n / 1e6 }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", a / b }'; }
percent() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f%%", 100 * a / b }'; }

echo "== inputs"
bash "$root/bench/make_inputs.sh" "$out/inputs"
gcc -O2 -Wall -Wextra -shared -fPIC "$root/bench/arm/qemu_module_icount.c" -o "$out/libqemu_module_icount.so"

# count DIR NAME DECODER FILE: one decode under qemu-arm, split by attribute.py.
count() {
    local dir="$1" name="$2" decoder="$3" file="$4"
    local raw="$profiles/$name.$decoder.$file.icount"
    qemu-arm -plugin "$out/libqemu_module_icount.so,out=$raw,detail=Velmora.ovl" \
        "$dir/bench/velmora_bench" --decoder "$decoder" --input memory "$out/inputs/$file.ogg" >/dev/null
    python3 "$root/bench/arm/attribute.py" "$raw" "$dir/Velmora.ovl" "$dir/libvelmora_core.a" \
        --baseline "$profiles/$name.none.icount" >"$profiles/$name.$decoder.$file.txt"
}

results="$out/results.md"
{
    echo "ARM (armhf, qemu-arm; instructions of the decode, the host's own start-up taken off)"
    echo
    echo "| Tremor | input | ov_read (M) | Velmora (M) | Velmora / ov_read | Velmora.ovl own code (M) | own share |"
    echo "|---|---|---|---|---|---|---|"
} >"$results"
status=0
for name in "${configs[@]}"; do
    dir="$out/$name"
    echo "== ARM, $name"
    # shellcheck disable=SC2086
    build "$dir" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/arm-linux-gnueabihf.cmake" ${options[$name]}
    qemu-arm -plugin "$out/libqemu_module_icount.so,out=$profiles/$name.none.icount" \
        "$dir/bench/velmora_bench" --decoder none --input memory "$out/inputs/${files[0]}.ogg" >/dev/null
    for file in "${files[@]}"; do
        count "$dir" "$name" ovread "$file"
        count "$dir" "$name" velmora "$file"
        ovread="$(get decode "$profiles/$name.ovread.$file.txt")"
        velmora="$(get decode "$profiles/$name.velmora.$file.txt")"
        own="$(get own "$profiles/$name.velmora.$file.txt")"
        echo "| $name | $file | $(millions "$ovread") | $(millions "$velmora") | $(ratio "$velmora" "$ovread") | $(millions "$own") | $(percent "$own" "$velmora") |" >>"$results"
        if [ "$name" = low ] && [ "$file" = stereo44_q8 ] && awk -v a="$own" -v b="$velmora" 'BEGIN { exit !(100 * a > b) }'; then
            status=1
        fi
    done
done

if [ "$x86" = yes ] && command -v valgrind >/dev/null; then
    {
        echo
        echo "x86-64 (callgrind, collected inside the decode only)"
        echo
        echo "| Tremor | input | ov_read (M) | Velmora (M) | Velmora / ov_read | Velmora.ovl own code (M) | own share |"
        echo "|---|---|---|---|---|---|---|"
    } >>"$results"
    for name in default low; do
        dir="$root/build/lowacc-bench/$name"
        echo "== x86-64, $name"
        # shellcheck disable=SC2086
        build "$dir" ${options[$name]}
        for file in "${files[@]}"; do
            for decoder in ovread velmora; do
                valgrind --tool=callgrind --demangle=no --toggle-collect='*measured_decode*' \
                    --callgrind-out-file="$profiles/x86-$name.$decoder.$file.callgrind" \
                    "$dir/bench/velmora_bench" --decoder "$decoder" --input memory "$out/inputs/$file.ogg" \
                    >/dev/null 2>&1
                python3 "$root/bench/arm/attribute.py" --callgrind "$profiles/x86-$name.$decoder.$file.callgrind" \
                    "$dir/Velmora.ovl" "$dir/libvelmora_core.a" >"$profiles/x86-$name.$decoder.$file.txt"
            done
            ovread="$(get decode "$profiles/x86-$name.ovread.$file.txt")"
            velmora="$(get decode "$profiles/x86-$name.velmora.$file.txt")"
            own="$(get own "$profiles/x86-$name.velmora.$file.txt")"
            echo "| $name | $file | $(millions "$ovread") | $(millions "$velmora") | $(ratio "$velmora" "$ovread") | $(millions "$own") | $(percent "$own" "$velmora") |" >>"$results"
        done
    done
fi
cat "$results"
exit "$status"
