#!/usr/bin/env bash
# Builds the benchmark, makes its inputs, times Velmora against Tremor's
# ov_read on every input, then measures on valgrind: instructions and the
# library's own share (callgrind), the library's own allocations (callgrind's
# call counts) and the heap peak (massif). Ends with a PASS/FAIL summary.
#
# Usage: bench/run.sh [--quick] [--runs N] [--low-accuracy]
#   --quick         valgrind measurements on stereo44_q8 only (timing for all)
#   --runs N        timing runs per decoder, the best one counts (default 5)
#   --low-accuracy  Tremor compiled from Debian's source with _LOW_ACCURACY_,
#                   as on the devices, linked into both Velmora.ovl and the
#                   host (build/bench/low-accuracy); default: Debian's
#                   packaged Tremor
#
# Everything lands in build/bench: the build, inputs/, and profiles/ with the
# raw valgrind outputs, the parsed figures, timing.md and summary.md.
# Exit status: 0 when every target is met, 1 when one is missed or a
# measurement could not be made.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build/bench"
inputs="$root/build/bench/inputs"
tremor_options=(-DVELMORA_TREMOR_FROM_SOURCE=OFF -DVELMORA_TREMOR_LOW_ACCURACY=OFF)
tremor_label="Debian's packaged Tremor"

quick=no
runs=5
while [ $# -gt 0 ]; do
    case "$1" in
        --quick) quick=yes ;;
        --runs) runs="$2"; shift ;;
        --low-accuracy)
            build="$root/build/bench/low-accuracy"
            tremor_options=(-DVELMORA_TREMOR_FROM_SOURCE=ON -DVELMORA_TREMOR_LOW_ACCURACY=ON)
            tremor_label="Tremor from source, _LOW_ACCURACY_" ;;
        *) echo "usage: bench/run.sh [--quick] [--runs N] [--low-accuracy]" >&2; exit 2 ;;
    esac
    shift
done
profiles="$build/profiles"
bench_tool="$build/bench/velmora_bench"

for tool in valgrind callgrind_annotate python3 cmake; do
    command -v "$tool" >/dev/null || { echo "run.sh: missing tool $tool (see scripts/setup.sh)" >&2; exit 1; }
done

# The targets.
max_ir_ratio=0.95       # Velmora instructions / ov_read instructions
max_own_share_pct=1.0   # Velmora.ovl's own instructions, % of Velmora's total
own_allocations=1       # heap allocations by Velmora.ovl: the record only
max_heap_ratio=1.0      # Velmora heap peak / ov_read heap peak

echo "== build (RelWithDebInfo: -O2 -g, the same for the library and the host; $tremor_label)"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${tremor_options[@]}" \
    -DVELMORA_BUILD_TESTS=OFF -DVELMORA_BUILD_TOOLS=OFF -DVELMORA_BUILD_BENCH=ON >/dev/null
cmake --build "$build" --target velmora_bench -j2 >/dev/null

echo "== inputs"
bash "$root/bench/make_inputs.sh" "$inputs"
files=(stereo44_q8 stereo44_q0 mono44_q4 six48_q4)
mkdir -p "$profiles"

echo "== timing (load average before: $(cut -d' ' -f1-3 /proc/loadavg); wall times need a quiet machine)"
timing_ok=yes
paths=()
for name in "${files[@]}"; do paths+=("$inputs/$name.ogg"); done
"$bench_tool" --runs "$runs" "${paths[@]}" | tee "$profiles/timing.md" || timing_ok=no

# value KEY FILE: the value of a key=value line.
value() { sed -n "s/^$1=//p" "$2" | head -1; }

# compare A OP B: awk's verdict on two decimal numbers.
holds() { awk -v a="$1" -v b="$3" "BEGIN { exit !(a $2 b) }"; }
verdict() { if holds "$@"; then echo PASS; else echo FAIL; fi; }

# callgrind NAME DECODER INPUT: profiles one decode (loading the file is
# outside the collected part), then writes NAME.callgrind.txt with the figures.
callgrind() {
    local name="$1" decoder="$2" input="$3"
    local out="$profiles/$name.$decoder.$input.callgrind"
    # Bind all symbols at start, so lazy binding is not counted in the decode.
    LD_BIND_NOW=1 valgrind --tool=callgrind --toggle-collect='measured_decode*' \
        --callgrind-out-file="$out" \
        "$bench_tool" --decoder "$decoder" --input "$input" "$inputs/$name.ogg" \
        >"$out.log" 2>&1
    callgrind_annotate --threshold=100 "$out" >"$out.annotate.txt"
    {
        echo "annotate_total_ir=$(awk '/PROGRAM TOTALS/ { gsub(",", "", $1); print $1; exit }' "$out.annotate.txt")"
        python3 "$root/bench/callgrind_objects.py" "$out" --functions 20
    } >"$out.txt"
}

# massif NAME DECODER: the heap peak of one decode, exact (no peak slack).
massif() {
    local name="$1" decoder="$2"
    local out="$profiles/$name.$decoder.massif"
    valgrind --tool=massif --pages-as-heap=no --peak-inaccuracy=0.0 \
        --massif-out-file="$out" \
        "$bench_tool" --decoder "$decoder" --input memory "$inputs/$name.ogg" >"$out.log" 2>&1
    python3 "$root/bench/massif_peak.py" "$out" --sites 20 >"$out.txt"
}

profiled=("${files[@]}")
[ "$quick" = yes ] && profiled=(stereo44_q8)

summary="$profiles/summary.md"
all_pass=yes
{
    echo "| file | measure | Velmora | ov_read | figure | target | result |"
    echo "|---|---|---|---|---|---|---|"
} >"$summary"
row() { echo "| $* |" >>"$summary"; [[ "$*" == *"| FAIL"* ]] && all_pass=no; return 0; }

for name in "${profiled[@]}"; do
    echo "== valgrind: $name"
    callgrind "$name" velmora memory
    callgrind "$name" ovread memory
    massif "$name" velmora
    massif "$name" ovread
    massif "$name" none

    v="$profiles/$name.velmora.memory.callgrind.txt"
    o="$profiles/$name.ovread.memory.callgrind.txt"
    v_ir="$(value annotate_total_ir "$v")"
    o_ir="$(value annotate_total_ir "$o")"
    ir_ratio="$(awk -v a="$v_ir" -v b="$o_ir" 'BEGIN { printf "%.4f", a / b }')"
    row "$name | instructions (Ir) | $v_ir | $o_ir | ratio $ir_ratio | <= $max_ir_ratio | $(verdict "$ir_ratio" '<=' "$max_ir_ratio")"

    share="$(value own_share_pct "$v")"
    row "$name | own code in Velmora.ovl | $(value own_ir "$v") Ir | - | $share % | <= $max_own_share_pct % | $(verdict "$share" '<=' "$max_own_share_pct")"

    allocs="$(value own_heap_calls "$v")"
    row "$name | heap allocations by Velmora.ovl, memory input | $allocs ($(value own_heap_calls_by_function "$v"); plat_local_alloc calls: $(value plat_local_alloc_calls "$v")) | - | $allocs | = $own_allocations | $(verdict "$allocs" '==' "$own_allocations")"

    base="$(value peak_bytes "$profiles/$name.none.massif.txt")"
    v_peak="$(value peak_bytes "$profiles/$name.velmora.massif.txt")"
    o_peak="$(value peak_bytes "$profiles/$name.ovread.massif.txt")"
    heap_ratio="$(awk -v a="$v_peak" -v b="$o_peak" -v z="$base" 'BEGIN { printf "%.4f", (a - z) / (b - z) }')"
    row "$name | heap peak, bytes (heap + extra; less the host's own $base) | $((v_peak - base)) | $((o_peak - base)) | ratio $heap_ratio | <= $max_heap_ratio | $(verdict "$heap_ratio" '<=' "$max_heap_ratio")"
done

# The file inputs, on the main file: they too must allocate only the record.
for input in read mapped; do
    callgrind stereo44_q8 velmora "$input"
    f="$profiles/stereo44_q8.velmora.$input.callgrind.txt"
    allocs="$(value own_heap_calls "$f")"
    row "stereo44_q8 | heap allocations by Velmora.ovl, $input input | $allocs ($(value own_heap_calls_by_function "$f"); mmap calls: $(value own_mmap_calls "$f")) | - | $allocs | = $own_allocations | $(verdict "$allocs" '==' "$own_allocations")"
    row "stereo44_q8 | own code in Velmora.ovl, $input input | $(value own_ir "$f") Ir | - | $(value own_share_pct "$f") % | <= $max_own_share_pct % | $(verdict "$(value own_share_pct "$f")" '<=' "$max_own_share_pct")"
done

if [ "$timing_ok" = yes ]; then
    row "all | PCM, every input kind | identical to ov_read | - | bit for bit | identical | PASS"
else
    row "all | PCM, every input kind | see timing.md | - | differs or failed | identical | FAIL"
fi

echo
echo "== where Velmora.ovl's own instructions go (stereo44_q8, memory input, self cost)"
sed -n '/^| function/,$p' "$profiles/stereo44_q8.velmora.memory.callgrind.txt"
echo
echo "== heap alive at the peak (stereo44_q8): Velmora, then ov_read"
sed -n '/^| bytes/,$p' "$profiles/stereo44_q8.velmora.massif.txt"
echo
sed -n '/^| bytes/,$p' "$profiles/stereo44_q8.ovread.massif.txt"
echo
revision="$(git -C "$root" rev-parse --short HEAD 2>/dev/null || echo unknown)"
if ! git -C "$root" diff --quiet HEAD -- api input platform CMakeLists.txt cmake 2>/dev/null; then
    revision="$revision with local changes to the library"
fi
echo "== summary ($(date -u +%Y-%m-%d), $(nproc)-core $(uname -m), $tremor_label, library at $revision)"
cat "$summary"
echo
echo "raw outputs in $profiles"
[ "$all_pass" = yes ]
