// Real streams with one field of their setup header rewritten to a value a
// hostile file may hold: the streams Tremor must refuse, or decode, without
// crashing, leaking or taking much stack.
#ifndef VELMORA_TEST_HOSTILE_SETUPS_H
#define VELMORA_TEST_HOSTILE_SETUPS_H

#include <cstdint>
#include <string>
#include <vector>

#include "support/ogg_pages.h"

// The bits a value takes, and the true value count of a lookup type 1
// codebook (the largest v with v^dimensions <= entries), for setup headers
// read and written field by field.
int bit_count(std::uint32_t value);
std::uint32_t lookup1_values(std::uint32_t entries, std::uint32_t dimensions);

struct hostile_setup {
    std::string name;
    bytes stream;  // empty when the stream it is made from is absent
};

// stereo44.ogg with its first lookup type 1 codebook replaced by one of one
// entry and 64 dimensions, carrying the two values Tremor's overflowing
// count reads.
hostile_setup type_1_book_of_64_dimensions();

// stereo44.ogg with its first lookup type 1 codebook replaced by one of no
// dimensions, whose value count and vectors Tremor would divide by them.
hostile_setup value_book_of_0_dimensions();

// ../shared/testdata's floor 0 vector with every floor's amplitude field 32
// bits wide.
hostile_setup floor_0_amplitude_of_32_bits();

// The same vector with every floor 0 at a rate of 1.
hostile_setup floor_0_rate_of_1();

// stereo44.ogg with long blocks of 8192 samples and its residues of type 0,
// each long block's residue one partition of 4096 samples: thousands of
// vectors in a partition.
hostile_setup residue_0_partitions_of_4096();

// stereo44.ogg with its comment header twice, the second where the setup
// header should be, the setup header after it.
hostile_setup comment_header_twice();

// All of the above whose source is present.
std::vector<hostile_setup> hostile_setups();

#endif  // VELMORA_TEST_HOSTILE_SETUPS_H
