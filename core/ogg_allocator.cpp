// libogg's entry points (core/ogg_allocator.h). This file holds them and
// nothing else: a program that defines its own takes none of it from the
// static library, and anything added here would make the linker take it in
// beside that program's and refuse the duplicates.
#include "core/ogg_allocator.h"

#include "core/codec_allocator.h"

extern "C" void *velmora_ogg_malloc(size_t size) { return velmora_codec_malloc(size); }

extern "C" void *velmora_ogg_calloc(size_t count, size_t size) { return velmora_codec_calloc(count, size); }

extern "C" void *velmora_ogg_realloc(void *block, size_t size) { return velmora_codec_realloc(block, size); }

extern "C" void velmora_ogg_free(void *block) { velmora_codec_free(block); }
