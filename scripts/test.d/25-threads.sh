#!/usr/bin/env bash
# Several decoders on several threads under ThreadSanitizer: the library,
# libogg and Tremor (both compiled from Debian's source packages, so that
# they are instrumented too) built with -fsanitize=thread, and the parallel
# decoding test run. Any report fails the step.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="$root/build/threads"
cache="${VELMORA_SOURCE_CACHE:-$HOME/.cache/velmora/sources}"

mkdir -p "$build"
for package in libogg libvorbisidec; do
    if ! bash "$root/scripts/fetch-source.sh" "$package" "$cache" >/dev/null 2>"$build/fetch.log"; then
        echo "25-threads: skipped: Debian's source package $package could not be fetched ($(tail -n 1 "$build/fetch.log"))"
        exit 0
    fi
done
tsan=-fsanitize=thread
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_BUILD_BENCH=OFF \
    -DVELMORA_BUILD_TOOLS=OFF -DVELMORA_OGG_FROM_SOURCE=ON -DVELMORA_TREMOR_FROM_SOURCE=ON \
    -DVELMORA_SOURCE_CACHE="$cache" -DCMAKE_C_FLAGS="$tsan" -DCMAKE_CXX_FLAGS="$tsan" \
    -DCMAKE_EXE_LINKER_FLAGS="$tsan" -DCMAKE_SHARED_LINKER_FLAGS="$tsan" >/dev/null
cmake --build "$build" -j2 --target parallel_decoders_test
TSAN_OPTIONS="halt_on_error=1:exitcode=66:second_deadlock_stack=1" "$build/tests/parallel_decoders_test"
