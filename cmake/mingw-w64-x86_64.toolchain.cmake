# Cross-building for 64-bit Windows with Debian's MinGW-w64 (package
# mingw-w64):
#   cmake -S . -B build/win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.toolchain.cmake
# Programs built for the tests run under Wine (/usr/lib/wine/wine64), which is found
# here so that ctest starts them through it.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(VELMORA_MINGW_TRIPLE x86_64-w64-mingw32)
set(VELMORA_MINGW_WINE /usr/lib/wine/wine64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
