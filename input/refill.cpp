#include "input/refill.h"

#include <cstring>

#include "core/decoder.h"
#include "input/path.h"

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

// POSIX lets another process cut a mapped file short while it is mapped
// (Windows refuses), and touching the view past the file's new end faults.
// So the source ends where the file now ends, or where it stands when the
// size cannot be had. The size is taken before the copy: a cut that lands
// between the two can still fault.
void hold_to_file_size(qdx_ogg_source &s) {
    const std::uint32_t size = plat_file_size(s.file);
    const std::uint32_t limit = size == SIZE_UNKNOWN ? s.position : size;
    if (limit < s.end) s.end = limit > s.position ? limit : s.position;
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
    if (s.kind == SRC_MAPPED) hold_to_file_size(s);
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
