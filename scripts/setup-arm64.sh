#!/usr/bin/env bash
# Adds Debian's arm64 architecture and the arm64 libraries the 64-bit ARM
# cross build links: libogg, Tremor (used when it is not compiled from
# source) and GoogleTest, and the arm64 C++ runtime the programs load under
# qemu-aarch64 with the arm64 loader and C library (libc6:arm64 comes with
# them). The cross compilers and qemu-user come from packages.d/arm64.txt
# through setup.sh. Run as root; safe to repeat.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
bash "$here/setup.sh"

packages=(libogg-dev:arm64 libvorbisidec-dev:arm64 libgtest-dev:arm64 libc6:arm64 libstdc++6:arm64 libgcc-s1:arm64)
dpkg --print-foreign-architectures | grep -qx arm64 || dpkg --add-architecture arm64
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
    echo "setup-arm64: installing ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
