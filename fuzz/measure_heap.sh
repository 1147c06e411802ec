#!/usr/bin/env bash
# Peak heap of whole decodes, measured with valgrind's massif: the typical
# streams (mono, stereo, six channels, a longer stereo piece), the worst case
# over the fuzzers' seeds (fixtures/, ../shared/testdata, fuzz/regressions;
# the malformed files also with their page checksums re-stamped, as the
# fuzzers see them), and streams of 64 MB in which an audio packet, the
# comment header or the setup header never ends. The decode reads the file
# in chunks, so the figure is what the decoder, libogg and Tremor hold at
# their peak, not the input.
#
#   fuzz/measure_heap.sh [BUILD_DIR]     (default build/fault; built if needed)
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/.." && pwd)"
build="${1:-$root/build/fault}"
shared="$root/../shared/testdata"
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

# endless KIND FIXTURE OUT: the fixture with 64 MB of one packet that never
# ends (pages of 255 full segments) after the headers (KIND audio), in place
# of the comment header, which declares a vendor string of almost 2 GB
# (comment), or in place of the setup header (setup). Checksums are set with
# libogg's own ogg_page_checksum_set.
endless() {
    python3 - "$@" <<'PY'
import ctypes, ctypes.util, struct, sys
kind, fixture, out = sys.argv[1:4]
ogg = ctypes.CDLL(ctypes.util.find_library("ogg"))
class OggPage(ctypes.Structure):
    _fields_ = [("header", ctypes.c_void_p), ("header_len", ctypes.c_long),
                ("body", ctypes.c_void_p), ("body_len", ctypes.c_long)]

def pages_of(data):
    at, pages = 0, []
    while at + 27 <= len(data):
        segments = data[at + 26]
        lacing = data[at + 27:at + 27 + segments]
        end = at + 27 + segments + sum(lacing)
        pages.append((bytes(data[at:at + 27 + segments]), bytes(data[at + 27 + segments:end])))
        at = end
    return pages

def page(serial, flags, granule, lacing, body):
    return (b"OggS" + struct.pack("<BBqIIIB", 0, flags, granule, serial, 0, 0, len(lacing)) + bytes(lacing), body)

pages = pages_of(open(fixture, "rb").read())
serial = struct.unpack_from("<I", pages[0][0], 14)[0]
junk = [page(serial, 1 if i else 0, -1, [255] * 255, b"\x5a" * 65025) for i in range(1028)]
if kind == "audio":
    built = pages[:2] + junk + pages[2:]
elif kind == "comment":
    start = b"\x03vorbis" + struct.pack("<I", 0x7FFFFFF0)
    junk[0] = (junk[0][0], start + junk[0][1][len(start):])
    built = pages[:1] + junk
else:
    comment_segments = next(i for i, v in enumerate(pages[1][0][27:]) if v < 255) + 1
    lacing = pages[1][0][27:27 + comment_segments]
    built = pages[:1] + [page(serial, 0, 0, lacing, pages[1][1][:sum(lacing)])] + junk
with open(out, "wb") as stream:
    for sequence, (header, body) in enumerate(built):
        header = ctypes.create_string_buffer(header[:18] + struct.pack("<II", sequence, 0) + header[26:], len(header))
        body_buffer = ctypes.create_string_buffer(body, len(body))
        p = OggPage(ctypes.addressof(header), len(header), ctypes.addressof(body_buffer), len(body))
        ogg.ogg_page_checksum_set(ctypes.byref(p))
        stream.write(header.raw + body)
PY
}

# codebook FIXTURE OUT: the fixture's first two headers, then a 78-byte setup
# header whose one codebook declares 2^21 + 1 entries in a few bits (the
# ordered form): Tremor allocates its length table before it finds the rest
# of the setup missing.
codebook() {
    python3 - "$@" <<'PY'
import struct, sys
fixture, out = sys.argv[1:3]
bits = value = 0
def put(field, width):
    global bits, value
    value |= (field & ((1 << width) - 1)) << bits
    bits += width
entries = (1 << 21) + 1
put(0, 8)                                          # one codebook
put(0x564342, 24); put(1, 16); put(entries, 24)    # sync, dimensions, entries
put(1, 1); put(0, 5)                               # ordered, from length 1
done, length = 0, 1
while done < entries:                              # 1 of length 1, 2^21 of length 22
    count = {1: 1, 22: 1 << 21}.get(length, 0)
    put(count, (entries - done).bit_length())
    done, length = done + count, length + 1
put(0, 4)                                          # no value lookup
setup = b"\x05vorbis" + value.to_bytes((bits + 7) // 8, "little")
data = open(fixture, "rb").read()
first = 27 + data[26] + sum(data[27:27 + data[26]])
second = data[first:]
segments = second[26]
comment = second[27 + segments:27 + segments + second[27]]   # the comment is one segment
with open(out, "wb") as stream:
    stream.write(data[:first])
    for sequence, packet in ((1, comment), (2, setup)):
        header = bytearray(second[:27]) + bytes([len(packet)])
        header[26] = 1
        header[18:22] = struct.pack("<I", sequence)
        stream.write(bytes(header) + packet)
PY
    restamp "$2" "$2"
}

# Prints the peak of heap bytes, allocator overhead included, of one decode.
peak_of() {
    local out="$work/massif.out"
    valgrind --tool=massif --massif-out-file="$out" "$probe" "$1" >/dev/null 2>&1 || true
    python3 "$root/bench/massif_peak.py" "$out" | sed -n 's/^peak_bytes=//p'
}

row() { printf '%-56s %10s   %s\n' "$1" "$2" "$3"; }
outcome() { "$probe" "$1" | sed 's/.*: //'; }

echo "== typical streams"
row "input" "peak heap" "outcome"
for name in mono44 stereo44 six48 sample; do
    input="$root/fixtures/$name.ogg"
    row "$name.ogg" "$(peak_of "$input")" "$(outcome "$input")"
done

echo
echo "== fuzz seeds: fixtures, shared test data, regressions (largest five)"
seeds=("$root"/fixtures/*.ogg "$here"/regressions/*)
if [ -d "$shared" ]; then
    seeds+=("$shared"/vorbis-vectors/*.ogg "$shared"/malformed-vorbis/*.ogg)
    for input in "$shared"/malformed-vorbis/*.ogg; do
        restamp "$input" "$work/$(basename "$input" .ogg)-restamped.ogg"
        seeds+=("$work/$(basename "$input" .ogg)-restamped.ogg")
    done
else
    echo "skipped: $shared is absent"
fi
for input in "${seeds[@]}"; do
    printf '%s %s\n' "$(peak_of "$input")" "$input"
done | sort -rn >"$work/seeds"
row "input" "peak heap" "outcome"
head -5 "$work/seeds" | while read -r peak input; do row "$(basename "$input")" "$peak" "$(outcome "$input")"; done
echo "($(wc -l <"$work/seeds") inputs; the malformed ones, largest first:)"
grep -e malformed-vorbis -e restamped "$work/seeds" | head -3 |
    while read -r peak input; do row "$(basename "$input")" "$peak" "$(outcome "$input")"; done

echo
echo "== 64 MB of a packet that never ends, in stereo44.ogg"
row "input" "peak heap" "outcome"
for kind in audio comment setup; do
    endless "$kind" "$root/fixtures/stereo44.ogg" "$work/endless-$kind.ogg"
    row "endless $kind" "$(peak_of "$work/endless-$kind.ogg")" "$(outcome "$work/endless-$kind.ogg")"
    rm -f "$work/endless-$kind.ogg"
done

echo
echo "== a setup header of 78 bytes declaring a codebook of 2^21 + 1 entries"
codebook "$root/fixtures/stereo44.ogg" "$work/codebook.ogg"
row "huge codebook" "$(peak_of "$work/codebook.ogg")" "$(outcome "$work/codebook.ogg")"
