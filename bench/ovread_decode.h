// Tremor's own file-level decoder, ov_read from ivorbisfile, over the same
// memory block: the yardstick for speed, memory and PCM. The block is read
// through callbacks without seeking, as Velmora reads its input, and the host
// asks for the same 4096 bytes per call.
#ifndef VELMORA_BENCH_OVREAD_DECODE_H
#define VELMORA_BENCH_OVREAD_DECODE_H

#include <tremor/ivorbisfile.h>

#include "decode_outcome.h"
#include "input_block.h"
#include "pcm_sink.h"

// One Tremor's ivorbisfile entry points: the library's own, or the reference
// Tremor without the speed patches that from-source builds with tests link
// beside it (symbols prefixed reference_tremor_).
struct ivorbisfile_calls {
    int (*open_callbacks)(void *, OggVorbis_File *, const char *, long, ov_callbacks);
    vorbis_info *(*info)(OggVorbis_File *, int);
    long (*read)(OggVorbis_File *, char *, int, int *);
    int (*clear)(OggVorbis_File *);
};

const ivorbisfile_calls &library_tremor();

// The reference Tremor's, or null when this build does not have it.
const ivorbisfile_calls *reference_tremor();

// Decodes the first logical stream: holes are passed over and decoding stops
// where a chained stream's next link begins, as Velmora does.
decode_outcome decode_with_ovread(const input_block &block, pcm_sink &sink,
                                  const ivorbisfile_calls &calls = library_tremor());

#endif  // VELMORA_BENCH_OVREAD_DECODE_H
