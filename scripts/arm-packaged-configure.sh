#!/usr/bin/env bash
# arm-packaged-configure.sh: the ARM build configured with Debian's packaged
# Tremor by the one option, -DVELMORA_TREMOR_FROM_SOURCE=OFF, the way a
# device SDK does it: pkg-config pointed by the user's environment at a
# staged sysroot holding the armhf libogg and Tremor (copied from Debian's
# armhf packages). Configuring must succeed, say that the packaged Tremor
# brings its own accuracy, and take both libraries from the sysroot, not from
# the build machine. Run by scripts/test.d/30-arm.sh.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
work="$root/build/arm-packaged"
triplet=arm-linux-gnueabihf
sysroot="$work/sysroot"
fail() { echo "arm-packaged-configure: $*"; exit 1; }

# Laid out as device SDKs lay theirs out, without Debian's multiarch
# folders, so that a .pc file of the build machine's would name libraries
# the sysroot does not have.
rm -rf "$work"
mkdir -p "$sysroot/usr/lib/pkgconfig" "$sysroot/usr/include"
for package in ogg vorbisidec; do
    sed "s|/lib/$triplet|/lib|" "/usr/lib/$triplet/pkgconfig/$package.pc" >"$sysroot/usr/lib/pkgconfig/$package.pc"
    cp -P "/usr/lib/$triplet/lib$package".so* "$sysroot/usr/lib/"
done
cp -r /usr/include/ogg /usr/include/tremor "$sysroot/usr/include/"

PKG_CONFIG_LIBDIR="$sysroot/usr/lib/pkgconfig" PKG_CONFIG_SYSROOT_DIR="$sysroot" \
    cmake -S "$root" -B "$work/build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$triplet.cmake" \
    -DVELMORA_TREMOR_FROM_SOURCE=OFF -DVELMORA_BUILD_TESTS=OFF -DVELMORA_BUILD_TOOLS=OFF \
    -DVELMORA_BUILD_BENCH=OFF >"$work/configure.log" 2>&1 ||
    { tail -n 20 "$work/configure.log"; fail "configuring with the packaged Tremor failed"; }
grep -q "Tremor: Debian's packaged library, at its own accuracy" "$work/configure.log" ||
    fail "configuring does not say which accuracy the packaged Tremor has"
for library in TREMOR_vorbisidec OGG_ogg; do
    found="$(sed -n "s/^pkgcfg_lib_${library}:FILEPATH=//p" "$work/build/CMakeCache.txt")"
    case "$found" in "$sysroot"/*) ;; *) fail "${library#*_} was not taken from the sysroot: '$found'" ;; esac
done
echo "arm-packaged-configure: configured with the packaged Tremor from a staged sysroot ($(grep -o "Tremor: Debian's packaged library.*" "$work/configure.log"))"
