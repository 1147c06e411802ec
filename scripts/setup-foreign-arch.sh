#!/usr/bin/env bash
# Usage: setup-foreign-arch.sh ARCH (a Debian architecture: armhf, arm64).
# What setup-armhf.sh and setup-arm64.sh do for their architecture: adds it
# beside the host's and installs its libraries that the cross build links,
# libogg, Tremor (used when it is not compiled from source) and GoogleTest,
# and its C++ runtime, which the programs load under qemu-user with the
# architecture's own loader and C library (libc6 comes with them). The cross
# compilers and qemu-user come from packages.d through setup.sh. Run as root;
# safe to repeat.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
arch="${1:?usage: setup-foreign-arch.sh ARCH (armhf, arm64)}"
bash "$here/setup.sh"

packages=()
for p in libogg-dev libvorbisidec-dev libgtest-dev libc6 libstdc++6 libgcc-s1; do
    packages+=("$p:$arch")
done
dpkg --print-foreign-architectures | grep -qx "$arch" || dpkg --add-architecture "$arch"
bash "$here/install-missing.sh" "setup-$arch" "${packages[@]}"
