# libogg and Tremor behind one target, velmora::codec. libogg always comes
# from pkg-config. Tremor is Debian's packaged library, or compiled here from
# Debian's source package (cmake/TremorFromSource.cmake), which is how the
# low-accuracy configuration is built. ARM targets default to the latter.
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(arm|ARM)")
  set(velmora_arm_target ON)
else()
  set(velmora_arm_target OFF)
endif()
option(VELMORA_TREMOR_FROM_SOURCE "Compile Tremor from Debian's source package" ${velmora_arm_target})
option(VELMORA_TREMOR_LOW_ACCURACY "Tremor with 32-bit products only (_LOW_ACCURACY_); needs VELMORA_TREMOR_FROM_SOURCE"
       ${velmora_arm_target})
option(VELMORA_TREMOR_ARM_ASM "Tremor's ARM assembler (_ARM_ASSEM_); needs VELMORA_TREMOR_FROM_SOURCE" OFF)

find_package(PkgConfig REQUIRED)
pkg_check_modules(OGG REQUIRED IMPORTED_TARGET ogg)
add_library(velmora_codec INTERFACE)

if(VELMORA_TREMOR_FROM_SOURCE)
  include(${CMAKE_CURRENT_LIST_DIR}/TremorFromSource.cmake)
  target_link_libraries(velmora_codec INTERFACE velmora_tremor PkgConfig::OGG)
  message(STATUS "Tremor: from source, low accuracy ${VELMORA_TREMOR_LOW_ACCURACY}, ARM assembler ${VELMORA_TREMOR_ARM_ASM}")
else()
  if(VELMORA_TREMOR_LOW_ACCURACY OR VELMORA_TREMOR_ARM_ASM)
    message(FATAL_ERROR "VELMORA_TREMOR_LOW_ACCURACY and VELMORA_TREMOR_ARM_ASM need VELMORA_TREMOR_FROM_SOURCE=ON")
  endif()
  pkg_check_modules(TREMOR REQUIRED IMPORTED_TARGET vorbisidec)
  target_link_libraries(velmora_codec INTERFACE PkgConfig::TREMOR PkgConfig::OGG)
  message(STATUS "Tremor: Debian's packaged library")
endif()
add_library(velmora::codec ALIAS velmora_codec)

set(VELMORA_PLATFORM_BACKEND platform/posix.cpp)
