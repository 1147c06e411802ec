#include "chain_links.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace {

constexpr std::size_t header_bytes = 27;  // fixed part; the last byte counts the segments
constexpr std::size_t largest_page = header_bytes + 255 + 255 * 255;
constexpr std::uint8_t begins_stream = 0x02;

// The Ogg page checksum: CRC-32, polynomial 0x04c11db7, not reflected,
// starting from 0, over the page with its checksum field taken as zeros.
std::uint32_t page_checksum(const std::uint8_t *page, std::size_t size) {
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t r = i << 24;
            for (int bit = 0; bit < 8; ++bit) r = (r & 0x80000000u) ? (r << 1) ^ 0x04c11db7u : r << 1;
            t[i] = r;
        }
        return t;
    }();
    std::uint32_t crc = 0;
    for (std::size_t i = 0; i < size; ++i) {
        const std::uint8_t byte = (i >= 22 && i < 26) ? 0 : page[i];
        crc = (crc << 8) ^ table[((crc >> 24) ^ byte) & 0xff];
    }
    return crc;
}

std::uint32_t stored_checksum(const std::uint8_t *page) {
    return std::uint32_t{page[22]} | std::uint32_t{page[23]} << 8 | std::uint32_t{page[24]} << 16 |
           std::uint32_t{page[25]} << 24;
}

// A window over the range, moved forward as the walk goes: every page fits
// in it whole, so each byte is read about once.
class page_window {
public:
    explicit page_window(const input_range &range) : reader_(range), bytes_(2 * largest_page) {}

    // The bytes [offset, offset + size) in the window, or null where the
    // range ends first.
    const std::uint8_t *at(std::uint32_t offset, std::size_t size) {
        if (offset < start_ || std::uint64_t{offset} + size > std::uint64_t{start_} + held_) {
            start_ = offset;
            held_ = reader_.read(offset, bytes_.data(), bytes_.size());
        }
        return std::uint64_t{offset} + size <= std::uint64_t{start_} + held_ ? bytes_.data() + (offset - start_)
                                                                              : nullptr;
    }

    // Where the next "OggS" begins at or after offset; 0 with none (a page
    // never begins at the range's first byte after a resynchronisation).
    std::uint32_t next_capture(std::uint32_t offset) {
        static const char capture[] = "OggS";
        for (;;) {
            if (at(offset, 4) == nullptr) return 0;
            const std::uint8_t *first = bytes_.data() + (offset - start_);
            const std::uint8_t *last = bytes_.data() + held_;
            const std::uint8_t *found = std::search(first, last, capture, capture + 4);
            if (found != last) return start_ + static_cast<std::uint32_t>(found - bytes_.data());
            offset = start_ + static_cast<std::uint32_t>(held_ - 3);  // a capture cut at the window's end
        }
    }

private:
    range_reader reader_;
    std::vector<std::uint8_t> bytes_;
    std::uint32_t start_ = 0;
    std::size_t held_ = 0;
};

// The size of the whole, intact page at offset; 0 when there is none.
std::size_t intact_page(page_window &window, std::uint32_t offset) {
    const std::uint8_t *header = window.at(offset, header_bytes);
    if (header == nullptr || std::memcmp(header, "OggS", 4) != 0) return 0;
    const std::size_t segments = header[26];
    const std::uint8_t *table = window.at(offset, header_bytes + segments);
    if (table == nullptr) return 0;
    std::size_t size = header_bytes + segments;
    for (std::size_t i = 0; i < segments; ++i) size += table[header_bytes + i];
    const std::uint8_t *page = window.at(offset, size);
    if (page == nullptr || page_checksum(page, size) != stored_checksum(page)) return 0;
    return size;
}

}  // namespace

std::vector<input_range> chain_links(const input_range &range) {
    std::vector<std::uint32_t> starts{range.start};
    page_window window(range);
    bool in_first_pages = true;  // the pages that begin the streams of the current link
    std::uint32_t offset = range.start;
    while (offset < range.end) {
        const std::size_t size = intact_page(window, offset);
        if (size == 0) {
            // Damaged or foreign bytes: look for the next page, as libogg does.
            offset = window.next_capture(offset + 1);
            if (offset == 0) break;
            continue;
        }
        const bool first_page = (window.at(offset, header_bytes)[5] & begins_stream) != 0;
        if (first_page && !in_first_pages) starts.push_back(offset);
        in_first_pages = first_page;
        offset += static_cast<std::uint32_t>(size);
    }
    std::vector<input_range> links;
    for (std::size_t i = 0; i < starts.size(); ++i) {
        links.push_back({range.path, starts[i], i + 1 < starts.size() ? starts[i + 1] : range.end});
    }
    return links;
}
