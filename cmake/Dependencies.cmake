# libogg and Tremor, found through pkg-config, behind one target.
find_package(PkgConfig REQUIRED)
pkg_check_modules(OGG REQUIRED IMPORTED_TARGET ogg)
pkg_check_modules(TREMOR REQUIRED IMPORTED_TARGET vorbisidec)
add_library(velmora_codec INTERFACE)
target_link_libraries(velmora_codec INTERFACE PkgConfig::TREMOR PkgConfig::OGG)
add_library(velmora::codec ALIAS velmora_codec)

set(VELMORA_PLATFORM_BACKEND platform/posix.cpp)
