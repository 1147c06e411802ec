#!/usr/bin/env bash
# Velmora against FFmpeg's Vorbis decoder and Tremor's ov_read, decoding
# only: for each kind of stream, the count of a whole 60-second stream less
# the count of its first second alone (bench/make_inputs.sh makes both), so
# that start-up, headers and setup cancel and what is left is 59 seconds of
# decoding and conversion to interleaved 16-bit PCM.
#
#   32-bit ARM  instructions under qemu-arm (bench/arm/qemu_module_icount.c,
#               the whole process), Release cross builds
#   x86-64      instructions under callgrind (inside measured_decode only),
#               wall and CPU time (each the best of --runs decodes,
#               default 5), Release native builds
#   SNR         the PCM of the 60-second stream against libvorbis's
#               floating-point decoder (bench/quality/vorbis_snr)
#
# Decoders (--configs):
#   low     Velmora with Tremor at low accuracy (_LOW_ACCURACY_): the ARM
#           build's default, NEON on ARM as devices get it
#   full    Velmora with Tremor at full accuracy (VELMORA_TREMOR_LOW_ACCURACY=OFF),
#           the native build's default
#   ffmpeg  bench/ffmpeg_bench: libavformat's Ogg demuxer, libavcodec's Vorbis
#           decoder, libswresample to interleaved s16 (Debian's packages)
#   ovread  Tremor's own ov_read over the default build's Tremor
#           (velmora_bench --decoder ovread)
# Streams (--kinds): stereo44_q0 stereo44_q6 stereo44_q10 mono44_q4 six48_q4
#
# Usage: bench/compare.sh [--kinds K,K..] [--configs C,C..] [--no-arm]
#                         [--no-x86] [--no-snr] [--runs N] [--reuse]
#   --reuse   take the figures of an earlier run from build/compare/runs
#             where they are there (to print the table again, or add a kind
#             or decoder to it); nothing is rebuilt or checked for staleness
# Results: build/compare/results.md (raw counts and PCM in build/compare/runs).
# FFmpeg is skipped, with a line saying so, where its libraries for a target
# are not installed. Exits 0 once the table is printed.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
out="$root/build/compare"
runs_dir="$out/runs"
all_kinds=(stereo44_q0 stereo44_q6 stereo44_q10 mono44_q4 six48_q4)
all_configs=(low full ffmpeg ovread)
kinds=("${all_kinds[@]}")
configs=("${all_configs[@]}")
arm=yes x86=yes snr=yes runs=5 reuse=no

usage() {
    echo "usage: bench/compare.sh [--kinds K,K..] [--configs C,C..] [--no-arm] [--no-x86] [--no-snr] [--runs N] [--reuse]" >&2
    echo "  kinds: ${all_kinds[*]}; configs: ${all_configs[*]}" >&2
    exit 2
}

# pick LIST ALLOWED...: LIST's comma-separated words, each one of ALLOWED.
pick() {
    local list="$1" word
    shift
    IFS=, read -r -a picked <<<"$list"
    for word in "${picked[@]}"; do
        [[ " $* " == *" $word "* ]] || { echo "compare: unknown name $word" >&2; usage; }
    done
}

while [ $# -gt 0 ]; do
    case "$1" in
        --kinds) [ $# -ge 2 ] || usage; pick "$2" "${all_kinds[@]}"; kinds=("${picked[@]}"); shift ;;
        --configs) [ $# -ge 2 ] || usage; pick "$2" "${all_configs[@]}"; configs=("${picked[@]}"); shift ;;
        --no-arm) arm=no ;;
        --no-x86) x86=no ;;
        --no-snr) snr=no ;;
        --runs) [ $# -ge 2 ] && [ "$2" -ge 1 ] 2>/dev/null || usage; runs="$2"; shift ;;
        --reuse) reuse=yes ;;
        *) usage ;;
    esac
    shift
done
mkdir -p "$runs_dir"

need() {
    command -v "$1" >/dev/null || { echo "compare: missing $1 ($2)" >&2; exit 1; }
}
need cmake scripts/setup.sh
need python3 scripts/setup.sh
if [ "$arm" = yes ]; then
    need arm-linux-gnueabihf-g++ scripts/setup-armhf.sh
    need qemu-arm scripts/setup-armhf.sh
fi
if [ "$x86" = yes ]; then need valgrind scripts/setup.sh; fi

has() { [[ " ${configs[*]} " == *" $1 "* ]]; }

# build DIR ACCURACY [CMAKE OPTIONS...]: velmora_bench, and ffmpeg_bench
# where CMake found FFmpeg for the target. Release, as hosts get it.
build() {
    local dir="$1" accuracy="$2"
    shift 2
    nice cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=Release -DVELMORA_TREMOR_FROM_SOURCE=ON \
        -DVELMORA_BUILD_TESTS=OFF -DVELMORA_BUILD_TOOLS=OFF -DVELMORA_BUILD_BENCH=ON \
        -DVELMORA_TREMOR_LOW_ACCURACY="$accuracy" "$@" >"$dir.configure.log" 2>&1 ||
        { cat "$dir.configure.log" >&2; exit 1; }
    local targets=(velmora_bench)
    has_ffmpeg "$dir" && targets+=(ffmpeg_bench)
    nice cmake --build "$dir" -j2 --target "${targets[@]}" >"$dir.build.log" 2>&1 ||
        { tail -30 "$dir.build.log" >&2; exit 1; }
}

has_ffmpeg() { grep -q '^VELMORA_FFMPEG_FOUND:INTERNAL=1' "$1/CMakeCache.txt" 2>/dev/null; }

# builds PLATFORM: the build folders the chosen decoders need.
builds() {
    local platform="$1" toolchain=()
    [ "$platform" = arm ] && toolchain=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/arm-linux-gnueabihf.cmake")
    # ffmpeg and ovread run from the default build
    if has low || has ffmpeg || has ovread; then
        echo "== build $platform-low" >&2
        build "$out/$platform-low" ON "${toolchain[@]}"
    fi
    if has full; then
        echo "== build $platform-full" >&2
        build "$out/$platform-full" OFF "${toolchain[@]}"
    fi
}

# host PLATFORM CONFIG: the command line of CONFIG's decode into $host_cmd,
# or false where that decoder was not built.
host() {
    local low="$out/$1-low/bench"
    case "$2" in
        low) host_cmd=("$low/velmora_bench" --decoder velmora --input memory) ;;
        full) host_cmd=("$out/$1-full/bench/velmora_bench" --decoder velmora --input memory) ;;
        ovread) host_cmd=("$low/velmora_bench" --decoder ovread --input memory) ;;
        ffmpeg) host_cmd=("$low/ffmpeg_bench") ;;
    esac
    [ -x "${host_cmd[0]}" ]
}

field() { sed -n "s/.*\\b$1=\\([^ ]*\\).*/\\1/p" "$2" | head -1; }

# kept FILE...: with --reuse, whether an earlier run left every FILE.
kept() {
    [ "$reuse" = yes ] || return 1
    local file
    for file in "$@"; do [ -s "$file" ] || return 1; done
}

# Results, by "platform kind config".
declare -A instructions samples seconds cpu_seconds audio snr_db

# count_arm KIND CONFIG: qemu-arm instruction counts of the two streams.
count_arm() {
    local kind="$1" config="$2" part total=() pcm=()
    for part in "$kind" "${kind}_1s"; do
        local raw="$runs_dir/arm-$config.$part"
        kept "$raw.icount" "$raw.out" ||
            qemu-arm -plugin "$plugin,out=$raw.icount" "${host_cmd[@]}" "$inputs/$part.ogg" >"$raw.out"
        total+=("$(awk '$1 == "total" { print $2 }' "$raw.icount")")
        pcm+=("$(field pcm_bytes "$raw.out")")
    done
    instructions["arm $kind $config"]=$((total[0] - total[1]))
    samples["arm $kind $config"]=$(((pcm[0] - pcm[1]) / 2))
}

# count_x86 KIND CONFIG: callgrind counts inside the decode, and the best
# wall times, of the two streams.
count_x86() {
    local kind="$1" config="$2" part total=() pcm=() best=() cpu=() length=() preload=""
    [ "$config" = ffmpeg ] && preload="$hwy_stub"
    for part in "$kind" "${kind}_1s"; do
        local raw="$runs_dir/x86-$config.$part"
        kept "$raw.callgrind" "$raw.out" ||
            LD_PRELOAD="$preload" LD_BIND_NOW=1 valgrind --tool=callgrind --demangle=no --toggle-collect='*measured_decode*' \
                --callgrind-out-file="$raw.callgrind" "${host_cmd[@]}" "$inputs/$part.ogg" >"$raw.out" 2>"$raw.valgrind"
        total+=("$(awk '$1 == "totals:" || $1 == "summary:" { print $2; exit }' "$raw.callgrind")")
        pcm+=("$(field pcm_bytes "$raw.out")")
        kept "$raw.timing" || "${host_cmd[@]}" --runs "$runs" "$inputs/$part.ogg" >"$raw.timing"
        best+=("$(field best_seconds "$raw.timing")")
        cpu+=("$(field best_cpu_seconds "$raw.timing")")
        length+=("$(field audio_seconds "$raw.timing")")
    done
    instructions["x86 $kind $config"]=$((total[0] - total[1]))
    samples["x86 $kind $config"]=$(((pcm[0] - pcm[1]) / 2))
    seconds["x86 $kind $config"]="$(awk -v a="${best[0]}" -v b="${best[1]}" 'BEGIN { print a - b }')"
    cpu_seconds["x86 $kind $config"]="$(awk -v a="${cpu[0]}" -v b="${cpu[1]}" 'BEGIN { print a - b }')"
    audio["x86 $kind $config"]="$(awk -v a="${length[0]}" -v b="${length[1]}" 'BEGIN { print a - b }')"
}

# quality PLATFORM KIND CONFIG: the SNR of the 60-second stream's PCM.
quality() {
    local platform="$1" kind="$2" config="$3" raw="$runs_dir/$1-$3.$2"
    local run=("${host_cmd[@]}")
    [ "$platform" = arm ] && run=(qemu-arm "${host_cmd[@]}")
    if ! kept "$raw.snr"; then
        "${run[@]}" --pcm "$raw.raw" "$inputs/$kind.ogg" >/dev/null
        "$snr_tool" "$inputs/$kind.ogg" "$raw.raw" >"$raw.snr"
    fi
    snr_db["$platform $kind $config"]="$(field snr_db "$raw.snr")"
    rm -f "$raw.raw"
}

# measure PLATFORM: every chosen kind and decoder on PLATFORM.
measure() {
    local platform="$1" kind config
    for kind in "${kinds[@]}"; do
        for config in "${configs[@]}"; do
            if ! host "$platform" "$config"; then
                [ "$kind" = "${kinds[0]}" ] && echo "compare: $platform: $config skipped: ${host_cmd[0]} was not built" \
                    "(for FFmpeg: libavformat-dev libavcodec-dev libswresample-dev for the target, bench/README.md)" >&2
                continue
            fi
            echo "== $platform $kind $config" >&2
            "count_$platform" "$kind" "$config"
            if [ "$snr" = yes ] && [ "$config" != ovread ]; then quality "$platform" "$kind" "$config"; fi
        done
    done
}

label() {
    case "$1" in
        low) echo "Velmora, low accuracy (ARM's default)" ;;
        full) echo "Velmora, full accuracy (x86-64's default)" ;;
        ffmpeg) echo "FFmpeg $ffmpeg_version" ;;
        ovread) echo "Tremor ov_read (the low-accuracy build's Tremor)" ;;
    esac
}

# table PLATFORM: one row per kind and decoder measured.
table() {
    local platform="$1" kind config
    if [ "$platform" = arm ]; then
        echo "32-bit ARM (armhf, Cortex-A class with NEON, qemu-arm): instructions of 59 s of decoding"
        echo
        echo "| stream | decoder | instructions (M) | per sample | / FFmpeg | SNR vs libvorbis (dB) |"
        echo "|---|---|---|---|---|---|"
    else
        echo "x86-64 (callgrind inside the decode; wall and CPU time, each the best of $runs): 59 s of decoding"
        echo
        echo "| stream | decoder | instructions (M) | per sample | / FFmpeg | wall ms | CPU ms | x realtime (CPU) | SNR vs libvorbis (dB) |"
        echo "|---|---|---|---|---|---|---|---|---|"
    fi
    for kind in "${kinds[@]}"; do
        for config in "${configs[@]}"; do
            local key="$platform $kind $config" base="$platform $kind ffmpeg"
            [ -n "${instructions[$key]:-}" ] || continue
            local row
            row="$(awk -v n="${instructions[$key]}" -v s="${samples[$key]}" -v f="${instructions[$base]:-}" \
                'BEGIN { printf "%.1f | %.1f | %s", n / 1e6, n / s, f == "" ? "-" : sprintf("%.3f", n / f) }')"
            if [ "$platform" = x86 ]; then
                row+="$(awk -v t="${seconds[$key]}" -v c="${cpu_seconds[$key]}" -v a="${audio[$key]}" \
                    'BEGIN { printf " | %.1f | %.1f | %.0f", t * 1000, c * 1000, (c > 0 ? a / c : 0) }')"
            fi
            echo "| $kind | $(label "$config") | $row | ${snr_db[$key]:--} |"
        done
    done
    echo
}

echo "== inputs" >&2
inputs="$out/inputs"
bash "$root/bench/make_inputs.sh" "$inputs" >&2
snr_tool="$out/quality/vorbis_snr"
if [ "$snr" = yes ]; then
    echo "== build vorbis_snr" >&2
    nice cmake -S "$root/bench/quality" -B "$out/quality" -DCMAKE_BUILD_TYPE=Release >"$out/quality.configure.log" 2>&1 &&
        nice cmake --build "$out/quality" -j2 --target vorbis_snr >"$out/quality.build.log" 2>&1 ||
        { echo "compare: vorbis_snr did not build (libvorbis-dev?); see $out/quality.*.log" >&2; exit 1; }
fi
# Debian's version of the FFmpeg packages, epoch and revision left out
ffmpeg_version="$(dpkg-query -W -f='${Version}' libavcodec-dev 2>/dev/null | sed 's/^[0-9]*://; s/-.*//')"

if [ "$arm" = yes ]; then
    plugin="$out/libqemu_module_icount.so"
    gcc -O2 -Wall -Wextra -shared -fPIC "$root/bench/arm/qemu_module_icount.c" -o "$plugin"
    builds arm
    measure arm
fi
if [ "$x86" = yes ]; then
    hwy_stub="$out/libhwy_timer_stub.so"
    gcc -O2 -Wall -Wextra -shared -fPIC "$root/bench/hwy_timer_stub.c" -o "$hwy_stub"
    builds x86
    measure x86
fi

results="$out/results.md"
{
    echo "Library at $(git -C "$root" rev-parse --short HEAD 2>/dev/null || echo unknown)$(git -C "$root" diff --quiet HEAD 2>/dev/null || echo ' (with local changes)'), $(date -u +%Y-%m-%d)."
    echo "Decode only: a 60-second stream less its first second; per sample: per 16-bit sample of one channel."
    echo
    if [ "$arm" = yes ]; then table arm; fi
    if [ "$x86" = yes ]; then table x86; fi
} >"$results"
cat "$results"
exit 0
