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

add_library(velmora_tremor STATIC ${tremor_sources})
target_include_directories(velmora_tremor PUBLIC ${tremor_include} PRIVATE ${patched_tree})
# The flags Tremor's configure uses on every host; third-party code, so its
# warnings are not ours to fix.
target_compile_definitions(velmora_tremor PRIVATE _REENTRANT USE_MEMORY_H
  $<$<BOOL:${VELMORA_TREMOR_LOW_ACCURACY}>:_LOW_ACCURACY_>
  $<$<BOOL:${VELMORA_TREMOR_ARM_ASM}>:_ARM_ASSEM_>)
target_compile_options(velmora_tremor PRIVATE -fsigned-char -w)
if(VELMORA_TREMOR_ARM_ASM)
  if(NOT CMAKE_SYSTEM_PROCESSOR MATCHES "^(arm|ARM)")
    message(FATAL_ERROR "VELMORA_TREMOR_ARM_ASM needs an ARM target")
  endif()
  # The inline assembler is written for the ARM instruction set, not Thumb.
  target_compile_options(velmora_tremor PRIVATE -marm)
endif()
target_link_libraries(velmora_tremor PUBLIC ${VELMORA_OGG_TARGET})
