// Attaching the same fixture through each of the three source kinds, so one
// test body can run over memory blocks, files read in chunks and mapped files.
#ifndef VELMORA_TEST_SOURCE_KINDS_H
#define VELMORA_TEST_SOURCE_KINDS_H

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "support/source_kind.h"
#include "velmora.h"

// Attaches the file at path as a host of that kind would: its bytes handed
// over as an owned memory block (the decoder frees it), the file read in
// chunks, or the file mapped; whole file, no offsets. Returns the input's
// result. The decoder must not be suspended (an owned block would leak).
std::int32_t attach_one(qdx_ogg_decoder *d, source_kind kind, const std::string &path);

// The same with two sources: path1 decoded first, path2 after every replay.
std::int32_t attach_two(qdx_ogg_decoder *d, source_kind kind, const std::string &path1,
                        const std::string &path2);

// A decoder released with qdx_ogg_free when it goes out of scope.
using decoder_ptr = std::unique_ptr<qdx_ogg_decoder, std::int32_t (*)(qdx_ogg_decoder *)>;
decoder_ptr new_decoder();

// reference_decode() of a committed fixture, decoded once per program.
const std::vector<std::uint8_t> &reference_pcm(const std::string &fixture);

#endif  // VELMORA_TEST_SOURCE_KINDS_H
