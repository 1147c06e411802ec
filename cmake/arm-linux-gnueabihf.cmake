# Cross build for 32-bit ARM Linux (hard-float EABI) with Debian's cross
# compilers, against Debian's armhf packages installed alongside the host's
# (dpkg --add-architecture armhf; libgtest-dev:armhf and libstdc++6:armhf for
# the tests, which run under qemu-arm, and libogg-dev:armhf and
# libvorbisidec-dev:armhf when Tremor is not compiled from source;
# scripts/setup-armhf.sh installs them), or against a device's sysroot
# (cmake/ARM.md, "A device's own sysroot").
#
#   cmake -S . -B build/arm -DCMAKE_TOOLCHAIN_FILE=cmake/arm-linux-gnueabihf.cmake
set(CMAKE_SYSTEM_PROCESSOR arm)
set(VELMORA_CROSS_TRIPLET arm-linux-gnueabihf)
include(${CMAKE_CURRENT_LIST_DIR}/debian-multiarch-common.cmake)

# Debian's armhf defaults to VFPv3-D16 without NEON. The library's PCM
# conversion has a NEON path; build with VELMORA_ARM_NEON=OFF for cores that
# lack NEON, which then get the portable loop.
option(VELMORA_ARM_NEON "Target ARM cores with NEON (-mfpu=neon)" ON)
if(VELMORA_ARM_NEON)
  set(CMAKE_C_FLAGS_INIT "-mfpu=neon")
  set(CMAKE_CXX_FLAGS_INIT "-mfpu=neon")
endif()

# Programs run with the armhf packages' own loader (/lib/ld-linux-armhf.so.3)
# and C library, the ones the armhf libogg, Tremor and libstdc++ were built
# against: one C library throughout, so threads and fork work under qemu-arm.
# (Pointing qemu at the cross toolchain's folder instead would mix its older
# loader with the packages' C library, and a second thread crashes.)
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-arm)
