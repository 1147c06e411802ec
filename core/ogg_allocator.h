/* libogg's entry points to the codec allocator (core/codec_allocator.h),
   where libogg is compiled here: core/codec_heap_routing.h points libogg's
   _ogg_malloc family at these and Tremor's straight at the allocator. They
   only forward, so libogg's blocks are charged as Tremor's are; being
   libogg's alone, they are where a program that links the static libraries
   can tell libogg's allocations apart, by linking its own in their place
   (tests/dependency_alloc_test.cpp does). */
#ifndef VELMORA_OGG_ALLOCATOR_H
#define VELMORA_OGG_ALLOCATOR_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

void *velmora_ogg_malloc(size_t size);
void *velmora_ogg_calloc(size_t count, size_t size);
void *velmora_ogg_realloc(void *block, size_t size);
void velmora_ogg_free(void *block);

#ifdef __cplusplus
}
#endif

#endif /* VELMORA_OGG_ALLOCATOR_H */
