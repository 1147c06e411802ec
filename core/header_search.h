// Finding the header pages with bounded work, whatever lies between them.
//
// libogg regains sync by taking each capture pattern ("OggS") it meets for a
// page of the length that page's header claims (up to 65 307 bytes),
// checksumming it once it is all in the buffer, and on a mismatch moving on
// to the next 'O'. Junk in which the pattern recurs every few bytes makes it
// checksum kilobytes for every byte it passes over: a megabyte of such junk
// costs about a second. So while the headers are read, the bytes passed over
// and the bytes of false pages checksummed are counted, and past either cap
// the stream is refused. Damaged real files stay far below both: a damaged
// page is one false page of at most 65 307 bytes.
#ifndef VELMORA_HEADER_SEARCH_H
#define VELMORA_HEADER_SEARCH_H

#include <ogg/ogg.h>

#include <cstdint>

// Bytes passed over to regain sync between the first page and the last
// header page: 1 MiB (about 1 ms of work when no capture pattern recurs).
constexpr std::uint64_t HEADER_SKIP_LIMIT = 1u << 20;

// Bytes of false pages checksummed meanwhile: 16 MiB, 256 damaged pages of
// the largest size (about 8 ms of work).
constexpr std::uint64_t HEADER_FALSE_PAGE_LIMIT = 16u << 20;

struct header_search {
    std::uint64_t skipped = 0;           // bytes passed over so far
    std::uint64_t false_page_bytes = 0;  // bytes of false pages checksummed so far
};

enum class page_search { found, need_data, gave_up };

// The next page in the sync buffer, as ogg_sync_pageout finds it, counting
// what it takes to get there; gave_up once a cap is passed.
page_search next_header_page(ogg_sync_state &sync, ogg_page &page, header_search &search);

#endif  // VELMORA_HEADER_SEARCH_H
