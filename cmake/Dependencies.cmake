# libogg and Tremor behind one target, velmora::codec. libogg comes from
# pkg-config, or on Windows, which has no packaged libogg, from Debian's source
# package (cmake/OggFromSource.cmake). Tremor is compiled here from Debian's
# source package with our patches (cmake/TremorFromSource.cmake), which mend
# what hostile setup headers and a heap running out do to it; Debian's
# packaged library is an option, with the limits the README states. The device
# builds (ARM, Windows) use Tremor's low-accuracy configuration, native builds
# its full accuracy.
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(arm|ARM)" OR WIN32)
  set(velmora_device_build ON)
else()
  set(velmora_device_build OFF)
endif()
option(VELMORA_OGG_FROM_SOURCE "Compile libogg from Debian's source package" ${WIN32})
option(VELMORA_TREMOR_FROM_SOURCE "Compile Tremor from Debian's source package, with our patches" ON)
option(VELMORA_TREMOR_LOW_ACCURACY "Tremor with 32-bit products only (_LOW_ACCURACY_); needs VELMORA_TREMOR_FROM_SOURCE"
       ${velmora_device_build})
option(VELMORA_TREMOR_ARM_ASM "Tremor's ARM assembler (_ARM_ASSEM_); needs VELMORA_TREMOR_FROM_SOURCE" OFF)
# The platform backend; the heap accounting (CodecHeap.cmake) is compiled
# with it, since the thread's word that names the decoder being served is the
# platform's.
if(WIN32)
  include(${CMAKE_CURRENT_LIST_DIR}/Windows.cmake)
else()
  set(VELMORA_PLATFORM_BACKEND platform/posix.cpp)
endif()
include(${CMAKE_CURRENT_LIST_DIR}/CodecHeap.cmake)

if(VELMORA_OGG_FROM_SOURCE)
  include(${CMAKE_CURRENT_LIST_DIR}/OggFromSource.cmake)
  velmora_route_codec_heap(velmora_ogg)
  set(VELMORA_OGG_TARGET velmora_ogg)
else()
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(OGG REQUIRED IMPORTED_TARGET ogg)
  set(VELMORA_OGG_TARGET PkgConfig::OGG)
endif()
add_library(velmora_codec INTERFACE)

if(VELMORA_TREMOR_FROM_SOURCE)
  include(${CMAKE_CURRENT_LIST_DIR}/TremorFromSource.cmake)
  velmora_route_codec_heap(velmora_tremor)
  target_link_libraries(velmora_codec INTERFACE velmora_tremor ${VELMORA_OGG_TARGET})
  message(STATUS "Tremor: from source, low accuracy ${VELMORA_TREMOR_LOW_ACCURACY}, ARM assembler ${VELMORA_TREMOR_ARM_ASM}")
else()
  if(VELMORA_TREMOR_LOW_ACCURACY OR VELMORA_TREMOR_ARM_ASM)
    message(FATAL_ERROR "VELMORA_TREMOR_LOW_ACCURACY and VELMORA_TREMOR_ARM_ASM need VELMORA_TREMOR_FROM_SOURCE=ON")
  endif()
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(TREMOR REQUIRED IMPORTED_TARGET vorbisidec)
  target_link_libraries(velmora_codec INTERFACE PkgConfig::TREMOR ${VELMORA_OGG_TARGET})
  message(STATUS "Tremor: Debian's packaged library")
endif()
# The decoders' budgets are kept in every build; only libraries compiled here
# charge them.
target_link_libraries(velmora_codec INTERFACE velmora_codec_heap)
add_library(velmora::codec ALIAS velmora_codec)
