/* The allocator libogg and Tremor call when they are compiled here
   (core/codec_heap_routing.h). Each block is charged what it costs the heap
   (itself, a header of ours with its size and budget, and the C library's
   bookkeeping) to the budget of the decoder being served on this thread
   (core/heap_budget.h), or to none while no decoder is served, as when tests
   and benches decode with Tremor's own ov_read. A block that does not fit
   in its budget is refused with NULL, as when memory runs out; freeing a
   block credits its budget back, and resizing one charges or credits the
   difference. Plain C, so that C sources can call it. */
#ifndef VELMORA_CODEC_ALLOCATOR_H
#define VELMORA_CODEC_ALLOCATOR_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

void *velmora_codec_malloc(size_t size);
void *velmora_codec_calloc(size_t count, size_t size);
void *velmora_codec_realloc(void *block, size_t size);
void velmora_codec_free(void *block);

#ifdef __cplusplus
}
#endif

#endif /* VELMORA_CODEC_ALLOCATOR_H */
