#!/usr/bin/env bash
# llvm-mca's cycle estimates of Tremor's transform and window kernels on
# Cortex-A53 (in order) and Cortex-A76 (out of order), AArch64, per loop
# step of the NEON form against the C of the unpatched Tremor for the same
# work, in both accuracy configurations. GCC compiles each tree as the build
# does (-O2, Tremor's defines); bench/arm64/mca_loop.py picks the kernel's
# loop out of the assembly by what it executes.
#
# Usage: bench/arm64/mca.sh [TREE_ROOT]
#   TREE_ROOT holds default/ and low/ builds of bench/arm64/run.sh (their
#   tremor-patched and tremor-reference trees); default build/arm64-bench.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
trees="${1:-$root/build/arm64-bench}"
work="$trees/mca"
mkdir -p "$work"
cc=aarch64-linux-gnu-gcc
for tool in "$cc" llvm-mca python3; do
    command -v "$tool" >/dev/null || { echo "mca.sh: missing $tool (scripts/setup-arm64.sh)" >&2; exit 1; }
done

# cycles ASM CPU: llvm-mca's cycles per repetition of the loop in ASM
cycles() {
    llvm-mca -mtriple=aarch64 -mcpu="$2" -iterations=1000 "$1" |
        awk '/^Iterations:/ { n = $2 } /^Total Cycles:/ { c = $3 } END { printf "%.1f", c / n }'
}

# loop NAME CONFIG TREE FILE PATTERN COUNT: the loop's assembly in NAME.s
loop() {
    local name="$1" config="$2" tree="$3" file="$4"
    local defines=(-D_REENTRANT -DUSE_MEMORY_H)
    [ "$config" = low ] && defines+=(-D_LOW_ACCURACY_)
    "$cc" -O2 -S -fsigned-char -w "${defines[@]}" -I"$trees/$config/$tree" -I/usr/include \
        "$trees/$config/$tree/$file" -o "$work/$config-$tree-$file.s"
    python3 "$root/bench/arm64/mca_loop.py" "$work/$config-$tree-$file.s" "$5" "$6" >"$work/$name.s"
}

# kernel LABEL CONFIG FILE WORK C_PATTERN C_COUNT C_STEPS NEON_PATTERN NEON_COUNT NEON_STEPS:
# one table row; a C or NEON loop step does WORK / *_STEPS of the row's work
kernel() {
    local label="$1" config="$2" file="$3" work_unit="$4"
    loop "$config-$file-c" "$config" tremor-reference "$file" "$5" "$6"
    loop "$config-$file-neon" "$config" tremor-patched "$file" "$8" "$9"
    local row="| $label | $config | $work_unit |"
    for cpu in cortex-a53 cortex-a76; do
        local c n
        c="$(cycles "$work/$config-$file-c.s" "$cpu")"
        n="$(cycles "$work/$config-$file-neon.s" "$cpu")"
        row+="$(awk -v c="$c" -v cs="$7" -v n="$n" -v ns="${10}" \
            'BEGIN { printf " %.1f | %.1f |", c * cs, n * ns }')"
    done
    echo "$row"
}

echo "| kernel | accuracy | work | C, Cortex-A53 | NEON, Cortex-A53 | C, Cortex-A76 | NEON, Cortex-A76 |"
echo "|---|---|---|---|---|---|---|"
kernel "generic butterfly" default mdct.c "4 pairs" 'smull' 16 1 'smull2' 4 1
kernel "window" default window.c "8 samples" 'smull' 1 8 'smull2' 1 2
kernel "generic butterfly" low mdct.c "4 pairs" '^(mul|madd|msub)\s' 12 1 '^ml[as]\s+v' 2 1
kernel "window" low window.c "8 samples" '^mul\s+w' 1 8 '^mul\s+v' 2 1
