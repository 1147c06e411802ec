# Tremor (libvorbisidec) compiled from Debian's source package into a static
# library, velmora_tremor, so that its compile-time configuration can be
# chosen: _LOW_ACCURACY_ and, on ARM, _ARM_ASSEM_. Its public headers are
# offered as <tremor/...>, as the packaged library installs them.
#
# The source is an unpacked tree given as VELMORA_TREMOR_SOURCE_DIR, or else
# fetched (and checksum-verified) by scripts/fetch-source.sh into
# VELMORA_SOURCE_CACHE, a folder outside the work tree shared by builds.
# Nothing of Tremor's source enters the repository. The patches in
# cmake/tremor-patches (allocation failures answered, not crashed on) are
# applied to a copy of that tree in the build folder; the tree itself is
# never changed.
set(VELMORA_SOURCE_CACHE "$ENV{HOME}/.cache/velmora/sources" CACHE PATH
    "Where Debian source packages are downloaded and unpacked")
set(VELMORA_TREMOR_SOURCE_DIR "" CACHE PATH "Unpacked Tremor source tree (empty: fetch Debian's)")

set(tremor_dir ${VELMORA_TREMOR_SOURCE_DIR})
if(NOT tremor_dir)
  execute_process(
    COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/../scripts/fetch-source.sh libvorbisidec ${VELMORA_SOURCE_CACHE}
    RESULT_VARIABLE fetch_result
    OUTPUT_VARIABLE fetched_tree
    ERROR_VARIABLE fetch_errors
    OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT fetch_result EQUAL 0)
    message(FATAL_ERROR "Tremor's source package could not be fetched:\n${fetch_errors}"
                        "Give an unpacked tree with -DVELMORA_TREMOR_SOURCE_DIR=... or build with "
                        "-DVELMORA_TREMOR_FROM_SOURCE=OFF.")
  endif()
  set(tremor_dir ${fetched_tree})
endif()

# The library proper, as its Makefile.am lists it: no examples.
set(tremor_sources
  mdct.c block.c window.c synthesis.c info.c floor1.c floor0.c vorbisfile.c
  res012.c mapping0.c registry.c codebook.c sharedbook.c)
foreach(source ${tremor_sources})
  if(NOT EXISTS ${tremor_dir}/${source})
    message(FATAL_ERROR "${tremor_dir} is not a Tremor source tree: ${source} is missing")
  endif()
endforeach()

include(${CMAKE_CURRENT_LIST_DIR}/TremorPatches.cmake)
set(patched_tree ${CMAKE_BINARY_DIR}/tremor-patched)
velmora_patch_tremor(${tremor_dir} ${patched_tree})
list(TRANSFORM tremor_sources PREPEND ${patched_tree}/)

set(tremor_include ${CMAKE_BINARY_DIR}/tremor-include)
file(COPY ${patched_tree}/ivorbiscodec.h ${patched_tree}/ivorbisfile.h
          ${patched_tree}/config_types.h
     DESTINATION ${tremor_include}/tremor)

# velmora_tremor_library(TARGET TREE SOURCES...): Tremor's files from TREE,
# compiled as its configure does.
function(velmora_tremor_library target tree)
  add_library(${target} STATIC ${ARGN})
  target_include_directories(${target} PUBLIC ${tremor_include} PRIVATE ${tree})
  # The flags Tremor's configure uses on every host; third-party code, so its
  # warnings are not ours to fix.
  target_compile_definitions(${target} PRIVATE _REENTRANT USE_MEMORY_H
    $<$<BOOL:${VELMORA_TREMOR_LOW_ACCURACY}>:_LOW_ACCURACY_>
    $<$<BOOL:${VELMORA_TREMOR_ARM_ASM}>:_ARM_ASSEM_>)
  target_compile_options(${target} PRIVATE -fsigned-char -w)
  # The optimisation of the module that ships (Release: -O3) in every build
  # but Debug, so that the tests and benches of a RelWithDebInfo build run
  # the code hosts get: -O3 vectorises loops that -O2 leaves scalar, and
  # only the same code can be held to the reference bit for bit. Tremor's
  # fixed point lets sums and products wrap (the transform's and window's
  # products of full-range values, the codebook unpacking's rounding),
  # which -fwrapv defines as the machine does it; Debian's packaged build
  # gives the same PCM (tests/packaged_tremor_test.cpp). It costs about 2 %
  # of a decode's instructions on x86-64.
  target_compile_options(${target} PRIVATE $<$<NOT:$<CONFIG:Debug>>:-O3> -fwrapv)
  if(VELMORA_SANITIZE)
    # Tremor's fixed-point arithmetic counts on two's-complement wrap-around
    # (defined by -fwrapv above) and shifts negative values left; the
    # exactness tests drive it with full-range input on purpose. A shift
    # count beyond its type's width is still caught: no input may give one
    # (patch 0038).
    target_compile_options(${target} PRIVATE -fno-sanitize=signed-integer-overflow,shift-base)
  endif()
  if(VELMORA_TREMOR_ARM_ASM)
    if(NOT CMAKE_SYSTEM_PROCESSOR MATCHES "^(arm|ARM)")
      message(FATAL_ERROR "VELMORA_TREMOR_ARM_ASM needs an ARM target")
    endif()
    # The inline assembler is written for the ARM instruction set, not Thumb.
    target_compile_options(${target} PRIVATE -marm)
  endif()
  set_target_properties(${target} PROPERTIES COMPILE_WARNING_AS_ERROR OFF)
  target_link_libraries(${target} PUBLIC ${VELMORA_OGG_TARGET})
endfunction()

velmora_tremor_library(velmora_tremor ${patched_tree} ${tremor_sources})

# The tests hold the sped-up Tremor to the same source without its speed
# patches, same configuration and compiler flags, linked into the same
# program: velmora_tremor_reference, whose every global symbol is renamed
# reference_tremor_<name>.
if(VELMORA_BUILD_TESTS)
  set(reference_tree ${CMAKE_BINARY_DIR}/tremor-reference)
  velmora_patch_tremor(${tremor_dir} ${reference_tree} REFERENCE)
  list(TRANSFORM tremor_sources REPLACE "^${patched_tree}/" "${reference_tree}/"
       OUTPUT_VARIABLE reference_sources)
  velmora_tremor_library(velmora_tremor_reference_unrenamed ${reference_tree} ${reference_sources})
  set_target_properties(velmora_tremor_reference_unrenamed PROPERTIES EXCLUDE_FROM_ALL ON)
  # Its allocations go where the library's go, so that both meet the same
  # heap budget.
  velmora_route_codec_heap(velmora_tremor_reference_unrenamed)
  set(reference_library ${CMAKE_BINARY_DIR}/libvelmora_tremor_reference.a)
  add_custom_command(OUTPUT ${reference_library}
    COMMAND ${CMAKE_COMMAND} -DNM=${CMAKE_NM} -DOBJCOPY=${CMAKE_OBJCOPY}
            -DIN=$<TARGET_FILE:velmora_tremor_reference_unrenamed> -DOUT=${reference_library}
            -DPREFIX=reference_tremor_ -P ${CMAKE_CURRENT_LIST_DIR}/TremorRename.cmake
    DEPENDS velmora_tremor_reference_unrenamed ${CMAKE_CURRENT_LIST_DIR}/TremorRename.cmake
    COMMENT "Renaming the reference Tremor's symbols")
  add_custom_target(velmora_tremor_reference_renamed DEPENDS ${reference_library})
  add_library(velmora_tremor_reference STATIC IMPORTED GLOBAL)
  set_target_properties(velmora_tremor_reference PROPERTIES IMPORTED_LOCATION ${reference_library})
  add_dependencies(velmora_tremor_reference velmora_tremor_reference_renamed)
  target_link_libraries(velmora_tremor_reference INTERFACE velmora_codec_heap ${VELMORA_OGG_TARGET})
endif()
