#!/usr/bin/env bash
# Installs into a scratch prefix and builds two hosts against what was
# installed, as a user's project would: one through pkg-config, one through
# find_package(Velmora CONFIG). Each must decode the fixtures to the same
# bytes as the installed command-line host's --raw output.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="$root/build/install"
prefix="$build/prefix"
hosts="$build/hosts"

cmake -S "$root" -B "$build/tree" -DCMAKE_BUILD_TYPE=Release \
    -DVELMORA_BUILD_TESTS=OFF -DVELMORA_BUILD_BENCH=OFF >/dev/null
cmake --build "$build/tree" -j"$(nproc)"
rm -rf "$prefix" "$hosts"
cmake --install "$build/tree" --prefix "$prefix" --strip >/dev/null

fail() { echo "install: $*"; exit 1; }
expected=(bin/velmora-decode include/velmora.h lib/Velmora.ovl lib/pkgconfig/velmora.pc
          lib/cmake/Velmora/VelmoraConfig.cmake lib/cmake/Velmora/VelmoraConfigVersion.cmake)
pkg-config --exists sdl2 && expected+=(bin/velmora-play)  # the player is built where SDL 2 is
for file in "${expected[@]}"; do [ -f "$prefix/$file" ] || fail "$file is missing"; done
[ "$(ls "$prefix/include")" = "velmora.h" ] || fail "the include folder holds more than velmora.h"

mkdir -p "$hosts"
export PKG_CONFIG_PATH="$prefix/lib/pkgconfig"
[ "$(pkg-config --modversion velmora)" = "1.10" ] || fail "velmora.pc gives version $(pkg-config --modversion velmora)"
# shellcheck disable=SC2046  # pkg-config's words are meant to split
cc -std=c99 -Wall -Wextra -Werror "$root/tests/consumers/decode_to_stdout.c" \
    $(pkg-config --cflags --libs velmora) -o "$hosts/through_pkg_config"
cmake -S "$root/tests/consumers/cmake" -B "$hosts/cmake" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$hosts/cmake" >/dev/null
cp "$hosts/cmake/decode_to_stdout" "$hosts/through_find_package"

for fixture in mono44.ogg stereo44.ogg six48.ogg; do
    input="$root/fixtures/$fixture"
    "$prefix/bin/velmora-decode" --quiet --raw "$input" -o "$hosts/expected.pcm"
    for host in through_pkg_config through_find_package; do
        "$hosts/$host" "$input" >"$hosts/$host.pcm"
        cmp -s "$hosts/expected.pcm" "$hosts/$host.pcm" ||
            fail "$host: $fixture decodes differently from velmora-decode --raw"
    done
    echo "install: $fixture: both hosts match velmora-decode --raw ($(stat -c %s "$hosts/expected.pcm") bytes)"
done
