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
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(VELMORA_ARM64_TRIPLET aarch64-linux-gnu)
set(CMAKE_C_COMPILER ${VELMORA_ARM64_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${VELMORA_ARM64_TRIPLET}-g++)

# Multiarch layout: arm64 libraries, CMake packages and .pc files sit in
# /usr/lib/aarch64-linux-gnu, headers are shared with the host in /usr/include.
set(CMAKE_LIBRARY_ARCHITECTURE ${VELMORA_ARM64_TRIPLET})

# pkg-config must read the target's .pc files, never the build machine's:
# the pkg-config variables the user set in the environment (a device SDK's,
# kept as they are), a sysroot given with -DCMAKE_SYSROOT, else Debian's
# arm64 packages on this machine, as for 32-bit ARM (cmake/ARM.md).
if(DEFINED ENV{PKG_CONFIG_LIBDIR})
elseif(CMAKE_SYSROOT)
  set(ENV{PKG_CONFIG_LIBDIR} "${CMAKE_SYSROOT}/usr/lib/${VELMORA_ARM64_TRIPLET}/pkgconfig:${CMAKE_SYSROOT}/usr/lib/pkgconfig:${CMAKE_SYSROOT}/usr/share/pkgconfig")
  set(ENV{PKG_CONFIG_SYSROOT_DIR} "${CMAKE_SYSROOT}")
  set(ENV{PKG_CONFIG_PATH} "")
else()
  set(ENV{PKG_CONFIG_LIBDIR} "/usr/lib/${VELMORA_ARM64_TRIPLET}/pkgconfig:/usr/share/pkgconfig")
  set(ENV{PKG_CONFIG_PATH} "")
endif()

# Programs run with the arm64 packages' own loader (/lib/ld-linux-aarch64.so.1)
# and C library, the ones the arm64 libogg, Tremor and libstdc++ were built
# against: one C library throughout, so threads and fork work under
# qemu-aarch64 (the cross toolchain's own folder would pair an older loader
# with the packages' C library).
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64)
