#include "core/header_search.h"

#include <cstring>

namespace {

constexpr long PAGE_HEADER_BYTES = 27;

// The bytes libogg checksums at the sync position on its next look: a whole
// candidate page, pattern, header and body all in the buffer; else 0 (it
// waits for more, or passes over bytes that hold no pattern).
std::uint64_t candidate_bytes(const ogg_sync_state &sync) {
    const long held = sync.fill - sync.returned;
    if (held < PAGE_HEADER_BYTES) return 0;
    const unsigned char *at = sync.data + sync.returned;
    if (std::memcmp(at, "OggS", 4) != 0) return 0;
    const int segments = at[PAGE_HEADER_BYTES - 1];
    const long header = PAGE_HEADER_BYTES + segments;
    if (held < header) return 0;
    long body = 0;
    for (int i = 0; i < segments; ++i) body += at[PAGE_HEADER_BYTES + i];
    return header + body <= held ? static_cast<std::uint64_t>(header + body) : 0;
}

bool within_caps(const header_search &search) {
    return search.skipped <= HEADER_SKIP_LIMIT && search.false_page_bytes <= HEADER_FALSE_PAGE_LIMIT;
}

}  // namespace

page_search next_header_page(ogg_sync_state &sync, ogg_page &page, header_search &search) {
    for (;;) {
        const std::uint64_t checked = candidate_bytes(sync);
        const long result = ogg_sync_pageseek(&sync, &page);
        if (result > 0) return page_search::found;
        if (result == 0) return page_search::need_data;
        search.skipped += static_cast<std::uint64_t>(-result);
        search.false_page_bytes += checked;
        if (!within_caps(search)) return page_search::gave_up;
    }
}
