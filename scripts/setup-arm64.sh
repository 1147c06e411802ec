#!/usr/bin/env bash
# Adds Debian's arm64 architecture and the arm64 libraries the 64-bit ARM
# cross build links: libogg, Tremor (used when it is not compiled from
# source) and GoogleTest, and the arm64 C++ runtime the programs load under
# qemu-aarch64 with the arm64 loader and C library (libc6:arm64 comes with
# them). The cross compilers and qemu-user come from packages.d/arm64.txt
# through setup.sh. Run as root; safe to repeat.
set -euo pipefail
exec bash "$(cd "$(dirname "$0")" && pwd)/setup-foreign-arch.sh" arm64
