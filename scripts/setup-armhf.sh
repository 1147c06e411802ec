#!/usr/bin/env bash
# Adds Debian's armhf architecture and the armhf libraries the ARM cross build
# links: libogg, Tremor (used when it is not compiled from source) and
# GoogleTest, and the armhf C++ runtime the programs load under qemu-arm with
# the armhf loader and C library (libc6:armhf comes with them). The cross
# compilers and qemu-user come from packages.d/arm.txt through setup.sh. Run
# as root; safe to repeat.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
bash "$here/setup.sh"

packages=(libogg-dev:armhf libvorbisidec-dev:armhf libgtest-dev:armhf libc6:armhf libstdc++6:armhf libgcc-s1:armhf)
dpkg --print-foreign-architectures | grep -qx armhf || dpkg --add-architecture armhf
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
    echo "setup-armhf: installing ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
