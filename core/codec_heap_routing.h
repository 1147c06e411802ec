/* Read first by every libogg and Tremor source compiled here (the compiler's
   forced include, cmake/CodecHeap.cmake): both libraries allocate only
   through _ogg_malloc, _ogg_calloc, _ogg_realloc and _ogg_free, which libogg's
   os_types.h names as the C library's functions. That header is read here
   first, its names are pointed at our allocator, and its include guard keeps
   them so for the rest of the source. libogg's sources (compiled with
   VELMORA_ROUTING_LIBOGG) go through entry points of their own, which lead
   to the same allocator (core/ogg_allocator.h). */
#ifndef VELMORA_CODEC_HEAP_ROUTING_H
#define VELMORA_CODEC_HEAP_ROUTING_H

#include <ogg/os_types.h>

#include "codec_allocator.h"
#include "ogg_allocator.h"

#undef _ogg_malloc
#undef _ogg_calloc
#undef _ogg_realloc
#undef _ogg_free
#ifdef VELMORA_ROUTING_LIBOGG
#define _ogg_malloc velmora_ogg_malloc
#define _ogg_calloc velmora_ogg_calloc
#define _ogg_realloc velmora_ogg_realloc
#define _ogg_free velmora_ogg_free
#else
#define _ogg_malloc velmora_codec_malloc
#define _ogg_calloc velmora_codec_calloc
#define _ogg_realloc velmora_codec_realloc
#define _ogg_free velmora_codec_free
#endif

#endif /* VELMORA_CODEC_HEAP_ROUTING_H */
