#!/usr/bin/env bash
# Peak heap of a whole decode, measured with valgrind's massif: legal streams
# (mono, stereo, six channels, a longer stereo piece) and the shared
# memory-exhaustion input, as it is and with its page checksums re-stamped.
# The decode reads the file in chunks, so the figure is what the decoder,
# libogg and Tremor hold at their peak, not the input.
#
#   fuzz/measure_heap.sh [BUILD_DIR]     (default build/fault; built if needed)
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/.." && pwd)"
build="${1:-$root/build/fault}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

[ -d "$build" ] || cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 --target velmora_heap_probe >/dev/null
probe="$build/fuzz/velmora_heap_probe"

# Sets every whole page's checksum, as the fuzzers do before decoding.
restamp() {
    python3 - "$1" "$2" "$root/fixtures" <<'PY'
import struct, sys
sys.path.insert(0, sys.argv[3])
from oggpages import ogg_crc
data = bytearray(open(sys.argv[1], "rb").read())
at = 0
while at + 27 <= len(data):
    if data[at:at + 4] != b"OggS":
        at += 1
        continue
    segments = data[at + 26]
    header = 27 + segments
    if at + header > len(data):
        break
    length = header + sum(data[at + 27:at + header])
    if at + length > len(data):
        at += 1
        continue
    data[at + 22:at + 26] = b"\0\0\0\0"
    data[at + 22:at + 26] = struct.pack("<I", ogg_crc(bytes(data[at:at + length])))
    at += length
open(sys.argv[2], "wb").write(data)
PY
}

# Prints the peak of useful heap bytes (and allocator overhead) of one decode.
peak_of() {
    local input="$1" out="$work/massif.out"
    valgrind --tool=massif --massif-out-file="$out" "$probe" "$input" >/dev/null 2>&1 || true
    awk -F= '/^mem_heap_B/ {b=$2} /^mem_heap_extra_B/ {if (b + $2 > best) {best = b + $2; useful = b; extra = $2}}
             END {printf "%9d bytes (+%d allocator overhead)", useful, extra}' "$out"
}

malformed="$root/../shared/testdata/malformed-vorbis/lewton-35_where_did_my_memory_go_repacked.ogg"
inputs=("$root/fixtures/mono44.ogg" "$root/fixtures/stereo44.ogg" "$root/fixtures/six48.ogg" "$root/fixtures/sample.ogg")
if [ -f "$malformed" ]; then
    restamp "$malformed" "$work/lewton-35-restamped.ogg"
    inputs+=("$malformed" "$work/lewton-35-restamped.ogg")
else
    echo "skipped: $malformed is absent"
fi

printf '%-48s %s\n' "input" "peak heap"
for input in "${inputs[@]}"; do
    printf '%-48s %s   %s\n' "$(basename "$input")" "$(peak_of "$input")" "$("$probe" "$input" | sed 's/.*: //')"
done
