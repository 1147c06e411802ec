#include "support/ogg_pages.h"

#include <algorithm>
#include <cstring>

#include "fuzz/page_checksums.h"

namespace {

constexpr std::size_t HEADER_BYTES = 27;
constexpr std::uint64_t NO_GRANULE = ~std::uint64_t{0};  // no packet ends on the page

bytes page_header(std::uint32_t serial, std::uint8_t flags, std::uint64_t granule) {
    bytes page(HEADER_BYTES, 0);
    std::memcpy(page.data(), "OggS", 4);
    page[5] = flags;
    put_le(page, 6, granule, 8);
    put_le(page, 14, serial, 4);
    return page;
}

// Adds a page of the given segment sizes and body to pages.
void add_page(std::vector<bytes> &pages, std::uint32_t serial, std::uint8_t flags, bool ends_a_packet,
              const bytes &lacing, const bytes &body) {
    bytes page = page_header(serial, flags, ends_a_packet ? 0 : NO_GRANULE);
    page[26] = static_cast<std::uint8_t>(lacing.size());
    page.insert(page.end(), lacing.begin(), lacing.end());
    page.insert(page.end(), body.begin(), body.end());
    pages.push_back(std::move(page));
}

}  // namespace

void put_le(bytes &into, std::size_t at, std::uint64_t value, int width) {
    for (int i = 0; i < width; ++i) into[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::vector<bytes> pages_of(const bytes &stream) {
    std::vector<bytes> pages;
    std::size_t offset = 0;
    while (offset < stream.size()) {
        const std::size_t length = page_checksums_detail::whole_page_at(stream, offset);
        if (length == 0) break;
        pages.emplace_back(stream.begin() + offset, stream.begin() + offset + length);
        offset += length;
    }
    return pages;
}

std::uint32_t serial_of(const bytes &page) {
    std::uint32_t serial;
    std::memcpy(&serial, &page[14], 4);
    return serial;
}

std::vector<bytes> packets_on(const bytes &page) {
    std::vector<bytes> packets;
    const std::size_t segments = page[26];
    std::size_t at = HEADER_BYTES + segments;
    bytes packet;
    for (std::size_t i = 0; i < segments; ++i) {
        const std::uint8_t size = page[HEADER_BYTES + i];
        packet.insert(packet.end(), page.begin() + at, page.begin() + at + size);
        at += size;
        if (size < 255) {
            packets.push_back(packet);
            packet.clear();
        }
    }
    return packets;
}

bytes unending_page(std::uint32_t serial, bool continued) {
    bytes page = page_header(serial, continued ? 0x01 : 0x00, NO_GRANULE);
    page[26] = 255;
    page.resize(HEADER_BYTES + 255 + LARGEST_PAGE_BODY, 0xFF);
    std::fill(page.begin() + HEADER_BYTES + 255, page.end(), 0x5A);
    return page;
}

std::vector<bytes> pages_for(std::uint32_t serial, const std::vector<bytes> &packets,
                             bool first_page_of_stream, std::size_t segments_per_page) {
    std::vector<bytes> pages;
    bytes lacing, body;
    bool continued = false, ends_a_packet = false;
    auto flush = [&](bool next_continues) {
        const std::uint8_t flags = static_cast<std::uint8_t>((continued ? 0x01 : 0) |
                                                             (first_page_of_stream && pages.empty() ? 0x02 : 0));
        add_page(pages, serial, flags, ends_a_packet, lacing, body);
        lacing.clear();
        body.clear();
        continued = next_continues;
        ends_a_packet = false;
    };
    for (const bytes &packet : packets) {
        std::size_t at = 0;
        for (;;) {
            const std::size_t size = std::min<std::size_t>(255, packet.size() - at);
            lacing.push_back(static_cast<std::uint8_t>(size));
            body.insert(body.end(), packet.begin() + at, packet.begin() + at + size);
            at += size;
            const bool ends = size < 255;
            ends_a_packet = ends_a_packet || ends;
            if (lacing.size() == segments_per_page) flush(!ends);
            if (ends) break;
        }
    }
    if (!lacing.empty()) flush(false);
    return pages;
}

bytes joined_pages(std::vector<bytes> pages) {
    bytes stream;
    for (std::size_t sequence = 0; sequence < pages.size(); ++sequence) {
        put_le(pages[sequence], 18, sequence, 4);
        stream.insert(stream.end(), pages[sequence].begin(), pages[sequence].end());
    }
    restamp_page_checksums(stream);
    return stream;
}
