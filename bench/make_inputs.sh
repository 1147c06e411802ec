#!/usr/bin/env bash
# Generates the benchmark inputs: 60-second Ogg Vorbis streams, too big to
# commit, made from music-like signals (tones, chords, noise, sweeps, some
# movement in level and a little reverb) so the codec does realistic work.
#
#   stereo44_q8.ogg  2 ch, 44100 Hz, oggenc -q 8 (high quality, many bits)
#   stereo44_q0.ogg  2 ch, 44100 Hz, oggenc -q 0 (low quality, few bits)
#   mono44_q4.ogg    1 ch, 44100 Hz, oggenc -q 4
#   six48_q4.ogg     6 ch, 48000 Hz, oggenc -q 4
#
# and the streams the decoders are compared on (bench/compare.sh), each
# twice: the whole minute (NAME.ogg) and its first second alone (NAME_1s.ogg,
# the same signal and settings), so that a count of the first less a count
# of the second is the decoding of 59 seconds, without the start-up, the
# headers and the setup:
#
#   stereo44_q0, stereo44_q6, stereo44_q10   2 ch, 44100 Hz, -q 0, 6, 10
#   mono44_q4                                1 ch, 44100 Hz, -q 4
#   six48_q4                                 6 ch, 48000 Hz, -q 4
#
# Usage: make_inputs.sh [OUTPUT_DIR]   (default: build/bench/inputs)
#
# Deterministic: sox runs with a fixed noise seed (-R) and no dither (-D), and
# every stream has a fixed serial number, so the same tool versions give the
# same bytes. Files already made by this version of the script are kept.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
out="${1:-$here/../build/bench/inputs}"
mkdir -p "$out"
out="$(cd "$out" && pwd)"

for tool in sox oggenc sha256sum; do
    command -v "$tool" >/dev/null || { echo "make_inputs: missing tool $tool" >&2; exit 1; }
done

names=(stereo44_q8 stereo44_q0 mono44_q4 six48_q4 stereo44_q6 stereo44_q10
       stereo44_q0_1s stereo44_q6_1s stereo44_q10_1s mono44_q4_1s six48_q4_1s)
stamp="$out/.made-by"
version="$(sha256sum "${BASH_SOURCE[0]}" | cut -d' ' -f1) $(oggenc --version 2>&1 | head -1)"
all_there=yes
for name in "${names[@]}"; do [ -s "$out/$name.ogg" ] || all_there=no; done
if [ "$all_there" = yes ] && [ "$(cat "$stamp" 2>/dev/null)" = "$version" ]; then
    echo "make_inputs: inputs in $out are up to date"
    exit 0
fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# synth OUT RATE CHANNELS SOX_EFFECTS...: repeatable noise, no dither.
synth() {
    local to="$1" rate="$2" channels="$3"
    shift 3
    sox -R -D -V1 -n -r "$rate" -b 16 -c "$channels" -t wavpcm "$to" "$@"
}

# encode IN NAME QUALITY SERIAL
encode() {
    oggenc -Q -q "$3" --serial "$4" -o "$out/$2.ogg" "$1"
}

# Stereo: a bass line and a chord on the left, a rising and a falling sweep
# and a bright square tone on the right, pink and white noise under both;
# tremolo and reverb keep the spectrum moving through the minute.
synth "$work/stereo.wav" 44100 2 synth 60 \
    sine 110 sine 277 sine 330 pinknoise \
    sine 220-1760 sine 3000-300 square 440 whitenoise \
    remix 1v0.24,2v0.14,3v0.12,4v0.05,6v0.04 5v0.18,6v0.14,7v0.04,8v0.03,1v0.10 \
    tremolo 1.7 35 reverb 30 gain -n -3

# Mono: the same kind of mix folded to one channel, with a slow sweep and a
# sawtooth for strong harmonics.
synth "$work/mono.wav" 44100 1 synth 60 \
    sine 147 sine 220 sawtooth 294 sine 500-4000 pinknoise \
    remix 1v0.25,2v0.18,3v0.06,4v0.12,5v0.05 \
    tremolo 0.9 30 reverb 25 gain -n -3

# Six channels in Vorbis 5.1 order (FL C FR RL RR LFE): one voice per channel,
# two of them sweeping, over a shared noise bed; the LFE carries a low tone.
synth "$work/six.wav" 48000 6 synth 60 \
    sine 262 sine 330 sine 392-1568 sine 523 sine 2500-600 sine 55 pinknoise whitenoise \
    remix 1v0.30,7v0.05 2v0.30,7v0.05 3v0.25,8v0.02 4v0.30,7v0.04 5v0.22,8v0.02 6v0.45,7v0.02 \
    tremolo 2.3 25 gain -n -3

encode "$work/stereo.wav" stereo44_q8 8 2001
encode "$work/stereo.wav" stereo44_q0 0 2002
encode "$work/mono.wav" mono44_q4 4 2003
encode "$work/six.wav" six48_q4 4 2004
encode "$work/stereo.wav" stereo44_q6 6 2005
encode "$work/stereo.wav" stereo44_q10 10 2006

# The first second of each compared stream: the same samples cut from the
# same signal (trim), encoded with the same settings and serial number.
for signal in stereo mono six; do
    sox -V1 "$work/$signal.wav" -t wavpcm "$work/${signal}_1s.wav" trim 0 1
done
encode "$work/stereo_1s.wav" stereo44_q0_1s 0 2002
encode "$work/stereo_1s.wav" stereo44_q6_1s 6 2005
encode "$work/stereo_1s.wav" stereo44_q10_1s 10 2006
encode "$work/mono_1s.wav" mono44_q4_1s 4 2003
encode "$work/six_1s.wav" six48_q4_1s 4 2004

echo "$version" >"$stamp"
for name in "${names[@]}"; do
    printf 'make_inputs: %-18s %9d bytes\n' "$name.ogg" "$(stat -c %s "$out/$name.ogg")"
done
