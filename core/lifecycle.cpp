// Creation and release of the decoder record.
#include <cstring>

#include "core/codec_state.h"
#include "core/decoder.h"
#include "input/release.h"

extern "C" qdx_ogg_decoder *qdx_ogg_create(void) {
    auto *d = static_cast<qdx_ogg_decoder *>(
        plat_local_alloc(PLAT_LMEM_FIXED, sizeof(qdx_ogg_decoder)));
    if (d == nullptr) return nullptr;
    // All zero: both sources are empty memory sources, every flag is clear and
    // the format record reads as zeros until a stream starts.
    std::memset(d, 0, sizeof *d);
    d->heap.limit = DECODER_HEAP_BUDGET;
    ogg_sync_init(&d->sync);
    return d;
}

extern "C" int32_t qdx_ogg_free(qdx_ogg_decoder *d) {
    if (d == nullptr) return 0;
    const serving_decoder serving(heap_of(d));
    codec_clear_all(*d);
    release_sources(*d);
    plat_local_free(d);
    return 0;
}
