// Ogg streams built in tests: pages cut out of a stream or made from packets,
// then joined with their sequence numbers and checksums set.
#ifndef VELMORA_TEST_OGG_PAGES_H
#define VELMORA_TEST_OGG_PAGES_H

#include <cstddef>
#include <cstdint>
#include <vector>

using bytes = std::vector<std::uint8_t>;

constexpr std::size_t LARGEST_PAGE_BODY = 255 * 255;

// The whole pages of a stream, each a copy of its bytes.
std::vector<bytes> pages_of(const bytes &stream);

std::uint32_t serial_of(const bytes &page);

// The packets that end on a page that begins with a fresh packet.
std::vector<bytes> packets_on(const bytes &page);

// A page of 255 full segments: it ends no packet, so the packet it starts or
// continues goes on to the next page.
bytes unending_page(std::uint32_t serial, bool continued);

// The packets laid out one after the other in pages of at most
// segments_per_page segments, a packet going on from page to page where it
// must. The first page is flagged as beginning the stream when
// first_page_of_stream is set.
std::vector<bytes> pages_for(std::uint32_t serial, const std::vector<bytes> &packets,
                             bool first_page_of_stream, std::size_t segments_per_page = 255);

// The pages in a row, numbered from 0, each checksum set.
bytes joined_pages(std::vector<bytes> pages);

void put_le(bytes &into, std::size_t at, std::uint64_t value, int width);

#endif  // VELMORA_TEST_OGG_PAGES_H
