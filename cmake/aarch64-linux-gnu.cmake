# Cross build for 64-bit ARM Linux (AArch64) with Debian's cross compilers,
# against Debian's arm64 packages installed alongside the host's
# (dpkg --add-architecture arm64; libogg-dev:arm64, libgtest-dev:arm64,
# libstdc++6:arm64 for running the programs, and libvorbisidec-dev:arm64
# when Tremor is not compiled from source; scripts/setup-arm64.sh installs
# them). Programs run under qemu-aarch64, so ctest works as on the host.
#
#   cmake -S . -B build/arm64 -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake
#
# Advanced SIMD (NEON) is part of every AArch64 core the standard ABI
# targets, so there is no option for cores without it: the NEON kernels and
# the NEON PCM conversion are always built. The processor name does not
# begin with "arm", so Tremor is compiled at its default accuracy (64-bit
# products are single instructions here; cmake/ARM.md has the figures) and
# its 32-bit ARM assembler is refused.
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(VELMORA_CROSS_TRIPLET aarch64-linux-gnu)
include(${CMAKE_CURRENT_LIST_DIR}/debian-multiarch-common.cmake)

# Programs run with the arm64 packages' own loader (/lib/ld-linux-aarch64.so.1)
# and C library, the ones the arm64 libogg, Tremor and libstdc++ were built
# against: one C library throughout, so threads and fork work under
# qemu-aarch64 (the cross toolchain's own folder would pair an older loader
# with the packages' C library).
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64)
