#!/usr/bin/env bash
# Adds Debian's armhf architecture and the armhf libraries the ARM cross build
# links: libogg, Tremor (used when it is not compiled from source) and
# GoogleTest, and the armhf C++ runtime the programs load under qemu-arm with
# the armhf loader and C library (libc6:armhf comes with them). The cross
# compilers and qemu-user come from packages.d/arm.txt through setup.sh. Run
# as root; safe to repeat.
set -euo pipefail
exec bash "$(cd "$(dirname "$0")" && pwd)/setup-foreign-arch.sh" armhf
