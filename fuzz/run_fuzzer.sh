#!/usr/bin/env bash
# Runs one fuzzer for a bounded time, one process, over a working corpus that
# starts from the seeds: the project's fixtures, the shared test vectors (when
# present) and every saved regression input.
#
#   fuzz/run_fuzzer.sh BUILD_DIR NAME SECONDS [EXTRA libFuzzer OPTIONS...]
#
# The working corpus lives in BUILD_DIR/corpus/NAME and grows from run to run;
# inputs that break a promise land in BUILD_DIR/artifacts/NAME/. Minimize one
# and copy it into fuzz/regressions/ to keep it (for fuzz_setup_header, the
# stream it made: BUILD_DIR/fuzz/write_setup_stream INPUT OUTPUT.ogg).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/.." && pwd)"
build="$1" name="$2" seconds="$3"
shift 3

corpus="$build/corpus/$name"
artifacts="$build/artifacts/$name"
mkdir -p "$corpus" "$artifacts"

if [ "$name" = fuzz_setup_header ]; then
    # Its input is a recipe, not a stream: Ogg seeds and the Ogg dictionary
    # would only send it down its plain-stream path. A fresh corpus starts
    # from a few random recipes long enough to reach the audio packets.
    if [ -z "$(ls -A "$corpus")" ]; then
        for i in $(seq 1 16); do head -c $((128 * i)) /dev/urandom >"$corpus/random-$i"; done
    fi
    # A decoder may hold 48 MiB (the heap budget) plus its own share, which
    # the target checks itself at every allocation; no single allocation may
    # pass the budget. The process's own overhead under AddressSanitizer
    # (shadow, quarantine, corpus) is several hundred MB on top.
    exec "$build/fuzz/$name" "$corpus" -max_total_time="$seconds" -max_len=4096 \
        -timeout=10 -malloc_limit_mb=48 -rss_limit_mb=1024 -print_final_stats=1 \
        -artifact_prefix="$artifacts/" "$@"
fi

seeds=("$root/fixtures" "$here/regressions")
shared="$root/../shared/testdata"
[ -d "$shared" ] && seeds+=("$shared")

exec "$build/fuzz/$name" "$corpus" "${seeds[@]}" \
    -dict="$here/vorbis.dict" -max_total_time="$seconds" -max_len=65536 \
    -timeout=30 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$artifacts/" "$@"
