// Tremor's own file-level decoder, ov_read from ivorbisfile, over the same
// memory block: the yardstick for speed, memory and PCM. The block is read
// through callbacks without seeking, as Velmora reads its input, and the host
// asks for the same 4096 bytes per call.
#ifndef VELMORA_BENCH_OVREAD_DECODE_H
#define VELMORA_BENCH_OVREAD_DECODE_H

#include "decode_outcome.h"
#include "input_block.h"
#include "pcm_sink.h"

// Decodes the first logical stream: holes are passed over and decoding stops
// where a chained stream's next link begins, as Velmora does.
decode_outcome decode_with_ovread(const input_block &block, pcm_sink &sink);

#endif  // VELMORA_BENCH_OVREAD_DECODE_H
