// Tremor's own decoder (ivorbisfile's ov_read) over the same bytes, read as a
// non-seekable stream the way the library reads its input: the PCM the
// library must reproduce bit for bit.
#ifndef VELMORA_TEST_REFERENCE_H
#define VELMORA_TEST_REFERENCE_H

#include <cstdint>
#include <vector>

struct reference_result {
    bool opened = false;        // ov_open_callbacks accepted the stream
    int channels = 0;
    long rate = 0;
    std::vector<std::uint8_t> pcm;  // interleaved 16-bit little-endian
};

// Decodes the first logical stream: holes are skipped, and decoding stops
// where the logical stream changes (a chained stream's next link).
reference_result reference_decode(const std::vector<std::uint8_t> &ogg);

#endif  // VELMORA_TEST_REFERENCE_H
