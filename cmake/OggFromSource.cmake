# libogg compiled from Debian's source package into a static library,
# velmora_ogg, linked into the module wherever Tremor is compiled from
# source, and on Windows, which has no packaged libogg. Its headers are
# offered as <ogg/...>, as the packaged library installs them.
#
# The source is an unpacked tree given as VELMORA_OGG_SOURCE_DIR, or else
# fetched (and checksum-verified) by scripts/fetch-source.sh into
# VELMORA_SOURCE_CACHE, the download folder Tremor's source shares. Nothing of
# libogg's source enters the repository.
set(VELMORA_SOURCE_CACHE "$ENV{HOME}/.cache/velmora/sources" CACHE PATH
    "Where Debian source packages are downloaded and unpacked")
set(VELMORA_OGG_SOURCE_DIR "" CACHE PATH "Unpacked libogg source tree (empty: fetch Debian's)")

set(ogg_dir ${VELMORA_OGG_SOURCE_DIR})
if(NOT ogg_dir)
  execute_process(
    COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/../scripts/fetch-source.sh libogg ${VELMORA_SOURCE_CACHE}
    RESULT_VARIABLE fetch_result
    OUTPUT_VARIABLE fetched_tree
    ERROR_VARIABLE fetch_errors
    OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT fetch_result EQUAL 0)
    message(FATAL_ERROR "libogg's source package could not be fetched:\n${fetch_errors}"
                        "Give an unpacked tree with -DVELMORA_OGG_SOURCE_DIR=...")
  endif()
  set(ogg_dir ${fetched_tree})
endif()

set(ogg_sources ${ogg_dir}/src/framing.c ${ogg_dir}/src/bitwise.c)
foreach(file ${ogg_sources} ${ogg_dir}/include/ogg/ogg.h ${ogg_dir}/include/ogg/config_types.h.in)
  if(NOT EXISTS ${file})
    message(FATAL_ERROR "${ogg_dir} is not a libogg source tree: ${file} is missing")
  endif()
endforeach()

# The one header configure would write. Windows builds do not read it
# (os_types.h has their types); other hosts get the fixed-width types.
set(ogg_include ${CMAKE_BINARY_DIR}/ogg-include)
set(INCLUDE_INTTYPES_H 0)
set(INCLUDE_STDINT_H 1)
set(INCLUDE_SYS_TYPES_H 0)
set(SIZE16 int16_t)
set(USIZE16 uint16_t)
set(SIZE32 int32_t)
set(USIZE32 uint32_t)
set(SIZE64 int64_t)
set(USIZE64 uint64_t)
configure_file(${ogg_dir}/include/ogg/config_types.h.in ${ogg_include}/ogg/config_types.h @ONLY)

add_library(velmora_ogg STATIC ${ogg_sources})
target_include_directories(velmora_ogg PUBLIC ${ogg_dir}/include ${ogg_include})
# Third-party code: its warnings are not ours to fix.
target_compile_options(velmora_ogg PRIVATE -w)
if(VELMORA_SANITIZE)
  # libogg's bit reader shifts bytes up into the sign bit of an int
  # (bitwise.c), counting on two's-complement wrap-around as Tremor does;
  # its sync layer adds a zero offset to the buffer before the buffer exists
  # (ogg_sync_pageseek on a fresh state, as ov_open's first look does).
  target_compile_options(velmora_ogg PRIVATE -fno-sanitize=signed-integer-overflow,shift,pointer-overflow)
endif()
