#!/usr/bin/env bash
# Decoding quality of the two Tremor configurations: the signal-to-noise
# ratio of Tremor's PCM against libvorbis's floating-point decoder on the
# benchmark inputs (bench/make_inputs.sh), for Debian's packaged Tremor, the
# same compiled from source, and the low-accuracy build. With the ARM cross
# tools installed (scripts/setup-armhf.sh), also checks that ARM builds, run
# under qemu-arm, make the same PCM as on x86-64, Tremor's ARM assembler
# included.
#
# Usage: bench/quality/run.sh      Results: build/lowacc-quality/quality.md
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
out="$root/build/lowacc-quality"
inputs="$out/inputs"
pcm="$out/pcm"
files=(stereo44_q8 stereo44_q0 mono44_q4 six48_q4)
mkdir -p "$pcm"

# build DIR [CMAKE OPTIONS...]
build() {
    local dir="$1"
    shift
    cmake -S "$root/bench/quality" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
    cmake --build "$dir" -j2 >/dev/null
}

# Native configurations: name and CMake options.
native_names=(packaged source low)
native_options=("-DVELMORA_TREMOR_FROM_SOURCE=OFF -DVELMORA_TREMOR_LOW_ACCURACY=OFF"
                "-DVELMORA_TREMOR_FROM_SOURCE=ON -DVELMORA_TREMOR_LOW_ACCURACY=OFF"
                "-DVELMORA_TREMOR_FROM_SOURCE=ON -DVELMORA_TREMOR_LOW_ACCURACY=ON")
bash "$root/bench/make_inputs.sh" "$inputs" >/dev/null

report="$out/quality.md"
{
    echo "| Tremor (x86-64) | input | SNR vs libvorbis (dB) | largest error | samples |"
    echo "|---|---|---|---|---|"
} >"$report"
for i in "${!native_names[@]}"; do
    name="${native_names[$i]}"
    # shellcheck disable=SC2086
    build "$out/$name" ${native_options[$i]}
    for file in "${files[@]}"; do
        "$out/$name/tremor_pcm" "$inputs/$file.ogg" "$pcm/$name-$file.raw"
        line="$("$out/$name/vorbis_snr" "$inputs/$file.ogg" "$pcm/$name-$file.raw")"
        get() { sed -n "s/.*$1=\([^ ]*\).*/\1/p" <<<"$line"; }
        echo "| $name | $file | $(get snr_db) | $(get max_error) | $(get samples) |" >>"$report"
    done
done

if command -v arm-linux-gnueabihf-g++ >/dev/null && command -v qemu-arm >/dev/null; then
    arm_names=(arm-default arm-low arm-low-asm)
    arm_options=("-DVELMORA_TREMOR_LOW_ACCURACY=OFF"
                 "-DVELMORA_TREMOR_LOW_ACCURACY=ON"
                 "-DVELMORA_TREMOR_LOW_ACCURACY=ON -DVELMORA_TREMOR_ARM_ASM=ON")
    arm_same_as=(source low low)
    {
        echo
        echo "| Tremor (ARM, qemu-arm) | input | PCM |"
        echo "|---|---|---|"
    } >>"$report"
    for i in "${!arm_names[@]}"; do
        name="${arm_names[$i]}"
        # shellcheck disable=SC2086
        build "$root/build/arm-quality/${name#arm-}" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/arm-linux-gnueabihf.cmake" \
            -DVELMORA_TREMOR_FROM_SOURCE=ON -DVELMORA_QUALITY_SNR=OFF ${arm_options[$i]}
        for file in "${files[@]}"; do
            qemu-arm -L /usr/arm-linux-gnueabihf "$root/build/arm-quality/${name#arm-}/tremor_pcm" \
                "$inputs/$file.ogg" "$pcm/$name-$file.raw"
            if cmp -s "$pcm/$name-$file.raw" "$pcm/${arm_same_as[$i]}-$file.raw"; then
                verdict="identical to x86-64 ${arm_same_as[$i]}"
            else
                verdict="DIFFERS from x86-64 ${arm_same_as[$i]}"
            fi
            echo "| $name | $file | $verdict |" >>"$report"
        done
    done
fi
cat "$report"
