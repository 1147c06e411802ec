# What both ARM Linux toolchain files share; not a toolchain file itself.
# The including file sets CMAKE_SYSTEM_PROCESSOR and VELMORA_CROSS_TRIPLET,
# the Debian multiarch triplet (arm-linux-gnueabihf, aarch64-linux-gnu) that
# names the cross compilers and the target's library folder.
set(CMAKE_SYSTEM_NAME Linux)

set(CMAKE_C_COMPILER ${VELMORA_CROSS_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${VELMORA_CROSS_TRIPLET}-g++)

# Multiarch layout: the target's libraries, CMake packages and .pc files sit
# in /usr/lib/<triplet>, headers are shared with the host in /usr/include.
set(CMAKE_LIBRARY_ARCHITECTURE ${VELMORA_CROSS_TRIPLET})

# pkg-config must read the target's .pc files, never the build machine's.
# Where they are, first found first: the pkg-config variables the user set in
# the environment (a device SDK's, for one: kept as they are, sysroot and
# all); a sysroot given with -DCMAKE_SYSROOT (its multiarch and plain
# folders, with the sysroot prefixed to what they name); else Debian's
# packages of the target's architecture on this machine (cmake/ARM.md).
if(DEFINED ENV{PKG_CONFIG_LIBDIR})
elseif(CMAKE_SYSROOT)
  set(ENV{PKG_CONFIG_LIBDIR} "${CMAKE_SYSROOT}/usr/lib/${VELMORA_CROSS_TRIPLET}/pkgconfig:${CMAKE_SYSROOT}/usr/lib/pkgconfig:${CMAKE_SYSROOT}/usr/share/pkgconfig")
  set(ENV{PKG_CONFIG_SYSROOT_DIR} "${CMAKE_SYSROOT}")
  set(ENV{PKG_CONFIG_PATH} "")
else()
  set(ENV{PKG_CONFIG_LIBDIR} "/usr/lib/${VELMORA_CROSS_TRIPLET}/pkgconfig:/usr/share/pkgconfig")
  set(ENV{PKG_CONFIG_PATH} "")
endif()
