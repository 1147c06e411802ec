// The refill step: the only reader of the sources.
#ifndef VELMORA_REFILL_H
#define VELMORA_REFILL_H

#include <cstdint>

struct qdx_ogg_decoder;

// Moves at most REFILL_CHUNK bytes of the active source into the sync layer's
// buffer. Returns the bytes added; 0 once the source is exhausted (at_end is
// then set), or when the sync layer cannot supply a buffer, which ends the
// source too since no further input could be taken.
std::uint32_t refill(qdx_ogg_decoder &d);

#endif  // VELMORA_REFILL_H
