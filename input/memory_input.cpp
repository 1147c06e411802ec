// Streams held in memory, read in place.
#include "core/decoder.h"
#include "core/stream_start.h"
#include "input/attach.h"

namespace {

void describe_memory(qdx_ogg_source &s, const void *data, uint32_t size, int32_t owns_data) {
    s.kind = SRC_MEMORY;
    s.path[0] = 0;
    s.data = static_cast<const std::uint8_t *>(data);
    s.owns_data = owns_data;
    s.file = PLAT_NO_HANDLE;
    s.start = 0;
    s.end = size;
    s.position = 0;
    s.at_end = 0;
}

}  // namespace

extern "C" int32_t qdx_ogg_input_memory(qdx_ogg_decoder *d, const void *data,
                                        uint32_t size, int32_t owns_data) {
    const serving_decoder serving(heap_of(d));
    if (!serving.engaged()) return 1;
    if (data == nullptr && size != 0) return 1;
    if (!prepare_for_input(d)) return 1;
    describe_memory(d->source1, data, size, owns_data);
    return stream_start(*d);
}

extern "C" int32_t qdx_ogg_input_memory2(qdx_ogg_decoder *d, const void *data1,
                                         uint32_t size1, const void *data2,
                                         uint32_t size2, int32_t owns_data) {
    const serving_decoder serving(heap_of(d));
    if (!serving.engaged()) return 1;
    if ((data1 == nullptr && size1 != 0) || (data2 == nullptr && size2 != 0)) return 1;
    if (!prepare_for_input(d)) return 1;
    d->has_second = 1;
    describe_memory(d->source1, data1, size1, owns_data);
    describe_memory(d->source2, data2, size2, owns_data);
    return stream_start(*d);
}
