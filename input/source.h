// A source descriptor: where a decoder's Ogg bytes come from. A decoder holds
// two; the active one is source2 once replay has switched to it.
#ifndef VELMORA_SOURCE_H
#define VELMORA_SOURCE_H

#include <cstdint>

#include "platform/platform.h"

constexpr std::int32_t SRC_MEMORY = 0;  // a block read in place
constexpr std::int32_t SRC_FILE = 1;    // a file read in chunks
constexpr std::int32_t SRC_MAPPED = 2;  // a file mapped read-only, one view

constexpr std::uint32_t SOURCE_PATH_BYTES = 1024;
constexpr std::uint32_t REFILL_CHUNK = 8192;
constexpr std::uint32_t NO_END_LIMIT = 0xFFFFFFFFu;

// start, end and position mean different things per kind:
//   SRC_MEMORY  start 0, end = block size, position = offset in the block.
//   SRC_FILE    start = file offset where reading begins, end = bytes to read
//               from start (NO_END_LIMIT: no limit; lowered to position by a
//               short read), position = bytes read since start. While open,
//               the file's own offset is start + position, which may pass
//               4 GiB.
//   SRC_MAPPED  start, end and position are absolute offsets in the file;
//               end never lies beyond the mapped view, nor beyond the file's
//               size when it was last refilled from.
// position never passes end once it is at or below it.
struct qdx_ogg_source {
    char path[SOURCE_PATH_BYTES];  // narrow path kept for resume; "" for memory
    std::int32_t kind;
    std::int32_t owns_data;        // memory: release data at free
    const std::uint8_t *data;      // memory block or mapped view; null if none
    plat_handle file;              // 0 none, PLAT_INVALID_HANDLE failed open
    plat_handle mapping;           // mapping object of a mapped source
    std::uint32_t start;
    std::uint32_t end;
    std::uint32_t position;
    std::int32_t at_end;           // set once a refill found nothing left
};

#endif  // VELMORA_SOURCE_H
