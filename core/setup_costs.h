// What Tremor (Debian's packaged build, and ours before its budget) takes
// for a setup header once synthesis is set up, beyond its codebooks: the
// look-ups it builds for every mode, afresh for each submap of the mode's
// mapping, and the stack it takes sorting a codebook and decoding residue 0.
// Figures for this machine's type sizes, heap blocks counted as glibc lays
// them out (a word of header, rounded up to two words, at least four).
#ifndef VELMORA_SETUP_COSTS_H
#define VELMORA_SETUP_COSTS_H

#include <cstdint>

#include "core/setup_shape.h"

struct setup_costs {
    long entries = 0;                  // over all codebooks
    long values = 0;                   // entries x dimensions of the value-mapped ones
    std::uint64_t lookup_heap = 0;       // the modes' look-ups, in bytes
    std::uint64_t sort_stack = 0;        // sorting the largest codebook, in bytes
    std::uint64_t residue0_stack = 0;    // decoding one residue 0 partition, in bytes
};

// The block sizes are the stream's short and long blocks, in samples.
setup_costs costs_of(const setup_shape &shape, long short_block, long long_block);

#endif  // VELMORA_SETUP_COSTS_H
