// Re-stamps the checksum of every Ogg page found in a byte buffer.
//
// Ogg pages carry a CRC, so a mutated or hand-built page is dropped by the
// sync layer before the codec ever sees it. Fuzzers and tests that want their
// bytes to reach the codec re-stamp each page after changing it. Bytes that
// are not part of a whole page are left alone.
#ifndef VELMORA_FUZZ_PAGE_CHECKSUMS_H
#define VELMORA_FUZZ_PAGE_CHECKSUMS_H

#include <ogg/ogg.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace page_checksums_detail {

constexpr std::size_t PAGE_HEADER_BYTES = 27;

// The length of the whole page at offset, or 0 when no whole page starts
// there.
inline std::size_t whole_page_at(const std::vector<std::uint8_t> &bytes, std::size_t offset) {
    const std::size_t left = bytes.size() - offset;
    if (left < PAGE_HEADER_BYTES || std::memcmp(&bytes[offset], "OggS", 4) != 0) return 0;
    const std::size_t segments = bytes[offset + 26];
    const std::size_t header = PAGE_HEADER_BYTES + segments;
    if (left < header) return 0;
    std::size_t body = 0;
    for (std::size_t i = 0; i < segments; ++i) body += bytes[offset + PAGE_HEADER_BYTES + i];
    return left < header + body ? 0 : header + body;
}

}  // namespace page_checksums_detail

// Walks the buffer for "OggS" pages and sets each whole page's checksum with
// libogg's own ogg_page_checksum_set. Returns the number of pages stamped.
inline int restamp_page_checksums(std::vector<std::uint8_t> &bytes) {
    using namespace page_checksums_detail;
    int stamped = 0;
    std::size_t offset = 0;
    while (offset < bytes.size()) {
        const std::size_t length = whole_page_at(bytes, offset);
        if (length == 0) {
            ++offset;
            continue;
        }
        const std::size_t header = PAGE_HEADER_BYTES + bytes[offset + 26];
        ogg_page page;
        page.header = &bytes[offset];
        page.header_len = static_cast<long>(header);
        page.body = bytes.data() + offset + header;
        page.body_len = static_cast<long>(length - header);
        ogg_page_checksum_set(&page);
        ++stamped;
        offset += length;
    }
    return stamped;
}

#endif  // VELMORA_FUZZ_PAGE_CHECKSUMS_H
