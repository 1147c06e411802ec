#include "support/reference.h"

#include <tremor/ivorbiscodec.h>
#include <tremor/ivorbisfile.h>

#include <algorithm>
#include <cstring>

namespace {

size_t read_stream(void *into, size_t size, size_t count, void *source) {
    auto *s = static_cast<memory_stream *>(source);
    const std::size_t wanted = size * count;
    const std::size_t left = s->bytes->size() - s->position;
    const std::size_t n = std::min(wanted, left);
    if (n != 0) std::memcpy(into, s->bytes->data() + s->position, n);
    s->position += n;
    return size == 0 ? 0 : n / size;
}

}  // namespace

ov_callbacks unseekable_memory_callbacks() { return {read_stream, nullptr, nullptr, nullptr}; }

reference_result reference_decode(const std::vector<std::uint8_t> &ogg) {
    return reference_decode_with({ov_open_callbacks, ov_info, ov_read, ov_clear}, ogg);
}

reference_result reference_decode_with(const ivorbisfile_calls &calls,
                                       const std::vector<std::uint8_t> &ogg) {
    reference_result result;
    memory_stream source{&ogg, 0};
    OggVorbis_File file;
    if (calls.open_callbacks(&source, &file, nullptr, 0, unseekable_memory_callbacks()) != 0) return result;
    result.opened = true;
    if (vorbis_info *info = calls.info(&file, -1)) {
        result.channels = info->channels;
        result.rate = info->rate;
    }
    int first_link = -1;
    char chunk[4096];
    for (;;) {
        int link = 0;
        long got = calls.read(&file, chunk, sizeof chunk, &link);
        if (got == OV_HOLE) continue;
        if (got <= 0) break;
        if (first_link < 0) first_link = link;
        if (link != first_link) break;
        result.pcm.insert(result.pcm.end(), chunk, chunk + got);
    }
    calls.clear(&file);
    return result;
}
