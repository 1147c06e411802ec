# The heap budget per decoder. libogg and Tremor compiled here allocate
# through our allocator (core/codec_allocator.h) instead of the C library's,
# so that what they hold for a decoder is counted against its budget
# (core/heap_budget.h) and a block beyond it is refused, which the patched
# Tremor answers with a refused stream or a dropped packet. Packaged
# libraries allocate on their own and are not counted.
#
# The default, 48 MiB, holds the largest decoder the format and the setup
# check allow: up to about 19 MB of setup tables at their peak (the codebook
# and look-up limits, core/setup_limits.h), Tremor's synthesis buffers and a
# block's storage for 255 channels of 8192-sample blocks (2 x 8.4 MB), and
# libogg's buffers, with room to spare for their packets.
set(VELMORA_DECODER_HEAP_BUDGET 50331648 CACHE STRING
    "Bytes that libogg and Tremor, compiled from source, may hold for one decoder")
if(NOT VELMORA_DECODER_HEAP_BUDGET MATCHES "^[1-9][0-9]*$")
  message(FATAL_ERROR "VELMORA_DECODER_HEAP_BUDGET must be a number of bytes, not '${VELMORA_DECODER_HEAP_BUDGET}'")
endif()
set(velmora_codec_heap_dir ${CMAKE_CURRENT_LIST_DIR})
# The repository's root, also where another project includes this file
# (bench/quality).
get_filename_component(velmora_codec_heap_root ${CMAKE_CURRENT_LIST_DIR}/.. ABSOLUTE)

# With the platform layer (its test seam and the backend), which names the
# decoder each thread serves.
add_library(velmora_codec_heap STATIC
  ${velmora_codec_heap_root}/core/codec_allocator.cpp
  ${velmora_codec_heap_root}/core/heap_budget.cpp
  ${velmora_codec_heap_root}/core/ogg_allocator.cpp
  ${velmora_codec_heap_root}/platform/fault.cpp
  ${velmora_codec_heap_root}/${VELMORA_PLATFORM_BACKEND})
target_include_directories(velmora_codec_heap PUBLIC ${velmora_codec_heap_root})
target_compile_definitions(velmora_codec_heap PUBLIC VELMORA_DECODER_HEAP_BUDGET=${VELMORA_DECODER_HEAP_BUDGET})
target_compile_options(velmora_codec_heap PRIVATE -fno-exceptions -fno-rtti -fvisibility=hidden)

# Compiles a library's C sources with their allocations routed to our
# allocator (core/codec_heap_routing.h, read before each source), and checks
# once it is built that none calls the C library's allocator directly: a
# block from there would escape the budget, and ours would not free it.
# velmora_route_codec_heap(TARGET [LIBOGG]): LIBOGG routes through libogg's
# own entry points (core/ogg_allocator.h).
function(velmora_route_codec_heap target)
  target_compile_options(${target} PRIVATE "SHELL:-include ${velmora_codec_heap_root}/core/codec_heap_routing.h")
  if("LIBOGG" IN_LIST ARGN)
    target_compile_definitions(${target} PRIVATE VELMORA_ROUTING_LIBOGG)
  endif()
  target_link_libraries(${target} PUBLIC velmora_codec_heap)
  if(CMAKE_NM)
    add_custom_command(TARGET ${target} POST_BUILD
      COMMAND ${CMAKE_COMMAND} -DNM=${CMAKE_NM} -DLIBRARY=$<TARGET_FILE:${target}>
              -P ${velmora_codec_heap_dir}/CheckCodecHeapRouting.cmake
      VERBATIM)
  endif()
endfunction()
