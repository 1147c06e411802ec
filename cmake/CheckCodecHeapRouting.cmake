# cmake -DNM=<nm> -DLIBRARY=<static library> -P CheckCodecHeapRouting.cmake
# Fails when the library's objects call the C library's allocator themselves
# rather than through the routed _ogg_malloc family (cmake/CodecHeap.cmake).
execute_process(COMMAND ${NM} -u ${LIBRARY} RESULT_VARIABLE failed OUTPUT_VARIABLE undefined ERROR_VARIABLE errors)
if(failed)
  message(FATAL_ERROR "${NM} could not list ${LIBRARY}: ${errors}")
endif()
# i686 Windows names C functions with a leading underscore.
string(REGEX MATCHALL "[ \t]U _?(malloc|calloc|realloc|free|strdup|strndup|aligned_alloc|posix_memalign)\n" direct "${undefined}")
if(direct)
  string(REGEX REPLACE "[ \tU\n]+" " " direct "${direct}")
  message(FATAL_ERROR "${LIBRARY} calls the C library's allocator directly (${direct}): "
                      "allocate through _ogg_malloc and friends so that the decoder's heap budget counts it")
endif()
