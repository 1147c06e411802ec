#ifndef VELMORA_STREAM_START_H
#define VELMORA_STREAM_START_H

#include <cstdint>

struct qdx_ogg_decoder;

// Reads the three Vorbis headers from the start of the active source, sets up
// synthesis, fills the format record and the batch size and marks the record
// ready. Expects an empty sync layer and no other codec state. Returns 0 when
// the stream started, 1 on any failure (the record then stays not ready, and
// whatever was initialised is released by the next reset or by free).
std::int32_t stream_start(qdx_ogg_decoder &d);

#endif  // VELMORA_STREAM_START_H
