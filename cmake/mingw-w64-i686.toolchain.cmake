# Cross-building for 32-bit Windows with Debian's MinGW-w64 (package
# mingw-w64):
#   cmake -S . -B build/win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.toolchain.cmake
# Programs built for the tests run under Wine (/usr/lib/wine/wine), which is found
# here so that ctest starts them through it.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(VELMORA_MINGW_TRIPLE i686-w64-mingw32)
set(VELMORA_MINGW_WINE /usr/lib/wine/wine)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
