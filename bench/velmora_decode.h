// Velmora as a host drives it: create, attach one input, call
// qdx_ogg_process_frame for 4096 bytes at a time until qdx_ogg_eof, free.
#ifndef VELMORA_BENCH_VELMORA_DECODE_H
#define VELMORA_BENCH_VELMORA_DECODE_H

#include "decode_outcome.h"
#include "input_block.h"
#include "pcm_sink.h"

enum class velmora_input {
    memory,  // qdx_ogg_input_memory over the block, read in place
    read,    // qdx_ogg_input_file_open: the file read in chunks
    mapped,  // qdx_ogg_input_file_map: the file mapped read-only
};

const char *velmora_input_name(velmora_input input);

// The file inputs open block.path() themselves; the memory input reads the
// block.
decode_outcome decode_with_velmora(velmora_input input, const input_block &block,
                                   pcm_sink &sink);

#endif  // VELMORA_BENCH_VELMORA_DECODE_H
