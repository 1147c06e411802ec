// Turns any fuzz input into a whole Ogg Vorbis stream whose setup header is
// well formed at the bit level, so that mutations land in field values
// rather than in framing: an identification header (channels, rate, block
// sizes), a comment header, a setup header (codebooks of any entry count,
// dimension, lookup type 0, 1 or 2, ordered, unordered and sparse lengths,
// value fields; floors 0 and 1; residues 0, 1 and 2; mappings with
// submaps and coupling; modes), then a few audio packets of the input's own
// bits, packed into Ogg pages with correct checksums by libogg.
//
// The input's bytes are read front to back as field choices, biased toward
// edge values (edge_choices.h). Now and then a field breaks the format (a
// reference past the end, a reserved value, a comment header where the setup
// header belongs), so the refusals are exercised too.
#ifndef VELMORA_FUZZ_SETUP_HEADER_STREAM_H
#define VELMORA_FUZZ_SETUP_HEADER_STREAM_H

#include <cstddef>
#include <cstdint>
#include <vector>

// The packets are capped a little above the setup header limit the library
// applies, so that limit is met but not much passed.
constexpr std::size_t GENERATED_PACKET_LIMIT = 600 * 1024;

std::vector<std::uint8_t> make_setup_header_stream(const std::uint8_t *data, std::size_t size);

#endif  // VELMORA_FUZZ_SETUP_HEADER_STREAM_H
