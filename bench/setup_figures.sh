#!/usr/bin/env bash
# What the setup check makes of the setup headers that real encoders write:
# libvorbis (oggenc) at every quality from -1 to 10, at 1, 2, 6 and 8
# channels and four sample rates, the committed fixtures and the test
# vectors. Prints the largest figure of each kind beside its limit
# (core/setup_limits.h) and fails when the check refuses any encode or any
# fixture or vector that Tremor opens.
#
# Usage: bench/setup_figures.sh BUILD_DIR   (a build with the benchmark, whose
#        setup_figures target is built). The fixtures and vectors the check
#        refuses are listed: each must be one that Tremor refuses too.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
build="${1:?usage: setup_figures.sh BUILD_DIR}"
figures="$build/bench/setup_figures"
[ -x "$figures" ] || { echo "setup_figures: build the setup_figures target in $build first" >&2; exit 1; }
for tool in sox oggenc; do
    command -v "$tool" >/dev/null || { echo "setup_figures: missing tool $tool" >&2; exit 1; }
done

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

for channels in 1 2 6 8; do
    for rate in 8000 22050 44100 48000; do
        sox -R -D -n -r "$rate" -c "$channels" -b 16 "$work/in-$channels-$rate.wav" \
            synth 1 pinknoise vol 0.3 >/dev/null 2>&1
        for quality in -1 0 1 2 3 4 5 6 7 8 9 10; do
            oggenc -Q -q "$quality" -s 1 -o "$work/q$quality-${channels}ch-$rate.ogg" "$work/in-$channels-$rate.wav" 2>/dev/null
        done
    done
done

encodes=("$work"/*.ogg)
others=("$here"/../fixtures/*.ogg)
shared="$here/../../shared/testdata"
[ -d "$shared" ] && others+=("$shared"/*/*.ogg) || echo "setup_figures: $shared absent, encodes and fixtures only"

"$figures" "${encodes[@]}" > "$work/encodes.txt"
"$figures" "${others[@]}" > "$work/others.txt"

limit() { sed -n "s/^constexpr [a-z:0-9_]* $1 = \(.*\);.*/\1/p" "$here/../core/setup_limits.h"; }
echo "largest over ${#encodes[@]} libvorbis encodes and ${#others[@]} fixtures and vectors (limit):"
awk -v e="$(limit CODEBOOK_ENTRY_BUDGET)" -v v="$(limit CODEBOOK_VALUE_BUDGET)" \
    -v h="$(limit LOOKUP_HEAP_LIMIT)" -v s="$(limit SORT_STACK_LIMIT)" -v r="$(limit RESIDUE0_STACK_LIMIT)" '
    $3 == "walked" {
        for (i = 4; i <= 8; ++i) if ($i + 0 > most[i]) { most[i] = $i + 0; where[i] = $1 }
    }
    END {
        split("codebook entries|codebook values|look-up heap (bytes)|codebook sort stack (bytes)|residue 0 stack (bytes)", name, "|")
        split(e "|" v "|" h "|" s "|" r, lim, "|")
        for (i = 4; i <= 8; ++i) printf "  %-30s %9d  (%s)  %s\n", name[i - 3], most[i], lim[i - 3], where[i]
    }' "$work/encodes.txt" "$work/others.txt"

status=0
if grep -v ' within$' "$work/encodes.txt"; then
    echo "setup_figures: FAIL: the check refuses libvorbis encodes (above)"
    status=1
fi
echo "fixtures and vectors the check refuses (each must be one Tremor refuses too):"
grep -v ' within$' "$work/others.txt" | sed 's/^/  /' || echo "  none"
exit $status
