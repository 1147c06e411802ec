#include "input/refill.h"

#include <cstring>

#include "core/decoder.h"

namespace {

std::uint32_t end_source(qdx_ogg_source &s) {
    s.at_end = 1;
    return 0;
}

// Delivers n bytes of a memory or mapped source; a source without a block or
// view (a mapping that could not be made) delivers nothing.
std::uint32_t copy_from_block(qdx_ogg_source &s, char *into, std::uint32_t n) {
    if (s.data == nullptr) return 0;
    std::memcpy(into, s.data + s.position, n);
    s.position += n;
    return n;
}

// Delivers up to n bytes of a file; a short read lowers end to what was read,
// so the next refill stops without reading.
std::uint32_t read_from_file(qdx_ogg_source &s, char *into, std::uint32_t n) {
    std::uint32_t got = plat_read_file(s.file, into, n);
    s.position += got;
    if (got != n) s.end = s.position;
    return got;
}

}  // namespace

std::uint32_t refill(qdx_ogg_decoder &d) {
    qdx_ogg_source &s = active_source(d);
    if (s.at_end) return 0;
    if (s.position >= s.end) return end_source(s);

    char *into = ogg_sync_buffer(&d.sync, REFILL_CHUNK);
    if (into == nullptr) return end_source(s);

    const std::uint32_t left = s.end - s.position;
    const std::uint32_t n = left < REFILL_CHUNK ? left : REFILL_CHUNK;
    std::uint32_t got = 0;
    if (s.kind == SRC_MEMORY || s.kind == SRC_MAPPED) {
        got = copy_from_block(s, into, n);
    } else if (s.kind == SRC_FILE) {
        got = read_from_file(s, into, n);
    }
    ogg_sync_wrote(&d.sync, static_cast<long>(got));
    return got != 0 ? got : end_source(s);
}
