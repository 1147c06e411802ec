#!/usr/bin/env bash
# The heap one playing decoder costs, and what each part of it takes: nine
# decoders of one stream held at once (heap_held), through Velmora and
# through Tremor's ov_read, under massif; the peak less the program's own
# heap, divided by nine, split by the call stacks that allocated it
# (heap_parts.py): Velmora's record, Tremor's codeword tables (patch 0031),
# libogg's sync layer (where the input chunks land) and stream layer
# (gathered packets), Tremor's codebooks, synthesis state and setup, and the
# allocator's own overhead. ov_read holds the same parts but the record.
#
# Usage: bench/heap_parts.sh BUILD [FILE...]
#   BUILD  a build folder with the bench (VELMORA_BUILD_BENCH, on by
#          default); its Tremor is the one measured (from source with our
#          patches by default, Debian's package with
#          -DVELMORA_TREMOR_FROM_SOURCE=OFF)
#   FILE   streams to measure; default the bench inputs stereo44_q8,
#          mono44_q4 and six48_q4 (bench/make_inputs.sh makes them)
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
[ $# -ge 1 ] || { echo "usage: bench/heap_parts.sh BUILD [FILE...]" >&2; exit 2; }
build="$(cd "$1" && pwd)"
shift
for tool in valgrind python3 cmake; do
    command -v "$tool" >/dev/null || { echo "heap_parts: missing tool $tool (see scripts/setup.sh)" >&2; exit 1; }
done
files=("$@")
if [ ${#files[@]} -eq 0 ]; then
    inputs="$root/build/bench/inputs"
    bash "$root/bench/make_inputs.sh" "$inputs" >/dev/null
    files=("$inputs/stereo44_q8.ogg" "$inputs/mono44_q4.ogg" "$inputs/six48_q4.ogg")
fi

cmake --build "$build" --target heap_held -j2 >/dev/null
held="$build/bench/heap_held"
count=9
work="$build/bench/heap_parts"
mkdir -p "$work"

# massif_of NAME DECODER COUNT FILE: the profile of one run, every
# allocation kept (no threshold), the peak exact.
massif_of() {
    local out="$work/$1.massif"
    valgrind --tool=massif --pages-as-heap=no --peak-inaccuracy=0.0 --threshold=0.0 \
        --massif-out-file="$out" "$held" --decoder "$2" --count "$3" "$4" >"$out.log" 2>&1
    echo "$out"
}

value() { sed -n "s/^$1=//p" "$2"; }

for file in "${files[@]}"; do
    name="$(basename "$file" .ogg)"
    baseline="$(massif_of "$name.none" velmora 0 "$file")"
    for decoder in velmora ovread; do
        profile="$(massif_of "$name.$decoder" "$decoder" "$count" "$file")"
        python3 "$root/bench/heap_parts.py" "$profile" --count "$count" --baseline "$baseline" \
            >"$work/$name.$decoder.txt"
    done
    v="$work/$name.velmora.txt"
    o="$work/$name.ovread.txt"
    echo "== $name: heap per decoder, $count held at once (bytes, allocator overhead included in the total)"
    echo "| part | Velmora | ov_read |"
    echo "|---|---|---|"
    row() { echo "| $1 | $(value "$2" "$v") | $(value "$2" "$o") |"; }
    row "the record (Velmora's; ov_read's OggVorbis_File)" record
    row "codeword tables (second-stage, patch 0031)" codeword_tables
    row "libogg sync layer: the input chunks" libogg_sync
    row "libogg stream layer: gathered packets" libogg_stream
    row "Tremor codebooks (less the tables)" tremor_codebooks
    row "Tremor synthesis state (block, dsp, look-ups)" tremor_synthesis
    row "Tremor setup (info, floors, residues, mappings)" tremor_setup
    row "ivorbisfile's own" ivorbisfile
    row "other" other
    row "allocator overhead" allocator_overhead
    row "**per decoder**" per_decoder
    echo
done
echo "raw outputs in $work"
