// Whether a started stream's decoding fits in its decoder's heap budget.
//
// Once synthesis is set up, the budget holds the setup's tables and one long
// block of output per channel (Tremor's synthesis buffers). Decoding a
// packet then takes as much again in the block's own storage: a long block
// of 32-bit samples per channel, and a few pointers and flags per channel.
// When that does not fit beside what the start left, every long block would
// be dropped and the stream would play nothing, so it is refused at start.
#ifndef VELMORA_DECODING_RESERVE_H
#define VELMORA_DECODING_RESERVE_H

#include <cstddef>

struct qdx_ogg_decoder;

// The least a long block adds to what the start holds, in bytes.
std::size_t long_block_storage(qdx_ogg_decoder &d);

// Whether the budget has room for it beside what the start holds. Always
// true where Tremor is not charged to the budget (Debian's packaged library).
bool decoding_fits_budget(qdx_ogg_decoder &d);

#endif  // VELMORA_DECODING_RESERVE_H
