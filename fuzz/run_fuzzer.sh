#!/usr/bin/env bash
# Runs one fuzzer for a bounded time, one process, over a working corpus that
# starts from the seeds: the project's fixtures, the shared test vectors (when
# present) and every saved regression input.
#
#   fuzz/run_fuzzer.sh BUILD_DIR NAME SECONDS [EXTRA libFuzzer OPTIONS...]
#
# The working corpus lives in BUILD_DIR/corpus/NAME and grows from run to run;
# inputs that break a promise land in BUILD_DIR/artifacts/NAME/. Minimize one
# and copy it into fuzz/regressions/ to keep it.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/.." && pwd)"
build="$1" name="$2" seconds="$3"
shift 3

corpus="$build/corpus/$name"
artifacts="$build/artifacts/$name"
mkdir -p "$corpus" "$artifacts"
seeds=("$root/fixtures" "$here/regressions")
shared="$root/../shared/testdata"
[ -d "$shared" ] && seeds+=("$shared")

exec "$build/fuzz/$name" "$corpus" "${seeds[@]}" \
    -dict="$here/vorbis.dict" -max_total_time="$seconds" -max_len=65536 \
    -timeout=30 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$artifacts/" "$@"
