# libogg and Tremor behind one target, velmora::codec. Tremor is compiled here
# from Debian's source package with our patches (cmake/TremorFromSource.cmake),
# which mend what hostile setup headers and a heap running out do to it, and
# libogg from Debian's source package beside it (cmake/OggFromSource.cmake),
# so that both charge the decoder's heap budget and the module carries them
# inside instead of needing them on the device. Debian's packaged Tremor is an
# option, with the limits the README states; it is linked against the
# packaged libogg, as Debian built it (Windows, which has neither, always
# compiles libogg). The device builds (ARM, Windows) use Tremor's
# low-accuracy configuration, native builds its full accuracy; the packaged
# Tremor has its own, full accuracy.
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(arm|ARM)" OR WIN32)
  set(velmora_device_build ON)
else()
  set(velmora_device_build OFF)
endif()
option(VELMORA_TREMOR_FROM_SOURCE "Compile Tremor from Debian's source package, with our patches" ON)
if(VELMORA_TREMOR_FROM_SOURCE OR WIN32)
  set(velmora_ogg_default ON)
else()
  set(velmora_ogg_default OFF)
endif()
option(VELMORA_OGG_FROM_SOURCE "Compile libogg from Debian's source package (default: where Tremor is)"
       ${velmora_ogg_default})
# Low accuracy is the device builds' default where Tremor is compiled here;
# Debian's packaged Tremor comes at the accuracy Debian built it with.
if(velmora_device_build AND VELMORA_TREMOR_FROM_SOURCE)
  set(velmora_low_accuracy_default ON)
else()
  set(velmora_low_accuracy_default OFF)
endif()
option(VELMORA_TREMOR_LOW_ACCURACY "Tremor with 32-bit products only (_LOW_ACCURACY_); Tremor compiled from source only"
       ${velmora_low_accuracy_default})
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
  velmora_route_codec_heap(velmora_ogg LIBOGG)
  set(VELMORA_OGG_TARGET velmora_ogg)
  message(STATUS "libogg: from source, linked in, charged to the decoders' budgets")
else()
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(OGG REQUIRED IMPORTED_TARGET ogg)
  set(VELMORA_OGG_TARGET PkgConfig::OGG)
  message(STATUS "libogg: Debian's packaged library (not charged to the decoders' budgets)")
endif()
add_library(velmora_codec INTERFACE)

if(VELMORA_TREMOR_FROM_SOURCE)
  include(${CMAKE_CURRENT_LIST_DIR}/TremorFromSource.cmake)
  velmora_route_codec_heap(velmora_tremor)
  target_link_libraries(velmora_codec INTERFACE velmora_tremor ${VELMORA_OGG_TARGET})
  # For the code that links it: Tremor carries our patches and its
  # allocations are charged to the decoders' budgets, so stream start can
  # refuse a stream whose decoding would not fit (core/decoding_reserve.h),
  # and the tests and fuzzers hold it to what the patches promise.
  target_compile_definitions(velmora_codec INTERFACE VELMORA_TREMOR_PATCHED)
  message(STATUS "Tremor: from source, low accuracy ${VELMORA_TREMOR_LOW_ACCURACY}, ARM assembler ${VELMORA_TREMOR_ARM_ASM}")
else()
  if(VELMORA_TREMOR_ARM_ASM)
    message(FATAL_ERROR "VELMORA_TREMOR_ARM_ASM needs VELMORA_TREMOR_FROM_SOURCE=ON")
  endif()
  if(VELMORA_TREMOR_LOW_ACCURACY)
    # A build folder that compiled Tremor before keeps the option in its
    # cache; the packaged library cannot honour it, so it is set aside here
    # (the tests read it to know which Tremor they compare with).
    message(WARNING "VELMORA_TREMOR_LOW_ACCURACY is ignored: Debian's packaged Tremor has its own, full accuracy")
    set(VELMORA_TREMOR_LOW_ACCURACY OFF)
  endif()
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(TREMOR REQUIRED IMPORTED_TARGET vorbisidec)
  target_link_libraries(velmora_codec INTERFACE PkgConfig::TREMOR ${VELMORA_OGG_TARGET})
  message(STATUS "Tremor: Debian's packaged library, at its own accuracy (full; no _LOW_ACCURACY_)")
endif()
# The decoders' budgets are kept in every build; only libraries compiled here
# charge them.
target_link_libraries(velmora_codec INTERFACE velmora_codec_heap)
add_library(velmora::codec ALIAS velmora_codec)
