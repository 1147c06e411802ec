// Tremor's own decoder (ivorbisfile's ov_read) over the same bytes, read as a
// non-seekable stream the way the library reads its input: the PCM the
// library must reproduce bit for bit.
#ifndef VELMORA_TEST_REFERENCE_H
#define VELMORA_TEST_REFERENCE_H

#include <tremor/ivorbisfile.h>

#include <cstddef>
#include <cstdint>
#include <vector>

// Bytes handed to ivorbisfile as a stream it reads front to back and cannot
// seek, the way the library reads its input (unseekable_memory_callbacks).
struct memory_stream {
    const std::vector<std::uint8_t> *bytes;
    std::size_t position;  // bytes read so far
};

// ivorbisfile's callbacks over a memory_stream: a read, no seek, tell or close.
ov_callbacks unseekable_memory_callbacks();

struct reference_result {
    bool opened = false;        // ov_open_callbacks accepted the stream
    int channels = 0;
    long rate = 0;
    std::vector<std::uint8_t> pcm;  // interleaved 16-bit little-endian
};

// The four ivorbisfile calls a reference decode makes, so that the same loop
// can drive another build of Tremor (one loaded at run time).
struct ivorbisfile_calls {
    int (*open_callbacks)(void *, OggVorbis_File *, const char *, long, ov_callbacks);
    vorbis_info *(*info)(OggVorbis_File *, int);
    long (*read)(OggVorbis_File *, char *, int, int *);
    int (*clear)(OggVorbis_File *);
};

// Decodes the first logical stream: holes are skipped, and decoding stops
// where the logical stream changes (a chained stream's next link).
reference_result reference_decode(const std::vector<std::uint8_t> &ogg);

// The same with another Tremor's calls: their OggVorbis_File must have this
// build's layout (the same Tremor release).
reference_result reference_decode_with(const ivorbisfile_calls &calls,
                                       const std::vector<std::uint8_t> &ogg);

#endif  // VELMORA_TEST_REFERENCE_H
