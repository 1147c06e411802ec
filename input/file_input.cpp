// Files read in chunks (open) or mapped read-only (map), one or two per
// decoder. The read inputs take a length counted from the start offset, the
// mapped inputs an absolute end offset.
#include "core/decoder.h"
#include "core/stream_start.h"
#include "input/attach.h"
#include "input/file_open.h"
#include "input/path.h"

namespace {

constexpr std::int32_t FAILED = 1;

bool attach_read_file(qdx_ogg_source &s, const char *path, uint32_t start, uint32_t length) {
    s.kind = SRC_FILE;
    store_path(s, path);
    s.start = start;
    s.end = length != 0 ? length : NO_END_LIMIT;
    s.position = 0;
    s.at_end = 0;
    s.data = nullptr;
    return open_read_file(s);
}

bool attach_mapped_file(qdx_ogg_source &s, uint32_t start, uint32_t end) {
    s.start = start;
    s.end = end;
    s.position = start;
    s.at_end = 0;
    return open_mapped_file(s);
}

void describe_mapped(qdx_ogg_source &s, const char *path) {
    s.kind = SRC_MAPPED;
    store_path(s, path);
}

}  // namespace

extern "C" int32_t qdx_ogg_input_file_open(qdx_ogg_decoder *d, const char *path,
                                           uint32_t start, uint32_t length) {
    const serving_decoder serving(heap_of(d));
    if (!serving.engaged()) return FAILED;
    if (!path_fits(path) || !prepare_for_input(d)) return FAILED;
    if (!attach_read_file(d->source1, path, start, length)) return FAILED;
    return stream_start(*d);
}

extern "C" int32_t qdx_ogg_input_file_open2(qdx_ogg_decoder *d, const char *path1,
                                            uint32_t start1, uint32_t length1,
                                            const char *path2, uint32_t start2,
                                            uint32_t length2) {
    const serving_decoder serving(heap_of(d));
    if (!serving.engaged()) return FAILED;
    if (!path_fits(path1) || !path_fits(path2) || !prepare_for_input(d)) return FAILED;
    d->has_second = 1;
    d->source2.kind = SRC_FILE;
    if (!attach_read_file(d->source1, path1, start1, length1)) return FAILED;
    if (!attach_read_file(d->source2, path2, start2, length2)) return FAILED;
    return stream_start(*d);
}

extern "C" int32_t qdx_ogg_input_file_map(qdx_ogg_decoder *d, const char *path,
                                          uint32_t start, uint32_t end) {
    const serving_decoder serving(heap_of(d));
    if (!serving.engaged()) return FAILED;
    if (!path_fits(path) || !prepare_for_input(d)) return FAILED;
    describe_mapped(d->source1, path);
    if (end == 0) end = query_file_size(path);
    if (!attach_mapped_file(d->source1, start, end)) return FAILED;
    return stream_start(*d);
}

extern "C" int32_t qdx_ogg_input_file_map2(qdx_ogg_decoder *d, const char *path1,
                                           uint32_t start1, uint32_t end1,
                                           const char *path2, uint32_t start2,
                                           uint32_t end2) {
    const serving_decoder serving(heap_of(d));
    if (!serving.engaged()) return FAILED;
    if (!path_fits(path1) || !path_fits(path2) || !prepare_for_input(d)) return FAILED;
    d->has_second = 1;
    describe_mapped(d->source1, path1);
    describe_mapped(d->source2, path2);
    if (end1 == 0) end1 = query_file_size(path1);
    if (end2 == 0) end2 = query_file_size(path2);
    if (!attach_mapped_file(d->source1, start1, end1)) return FAILED;
    if (!attach_mapped_file(d->source2, start2, end2)) return FAILED;
    return stream_start(*d);
}
