// A look at the setup header's codebooks before Tremor unpacks them.
//
// Tremor divides by a codebook's dimensions when it expands a value-mapped
// book for synthesis, and again when residue type 0 decodes with one; its
// unpacking lets a value-mapped book of dimension 0 through, so such a book
// would end the host's process with a division by zero, in every Tremor
// build. That book is refused here. So are codebooks that together declare
// more than a budget of entries or values: a few bytes of ordered lengths can
// declare millions of entries, and Tremor allocates tables (and, in Debian's
// build, stack arrays) in proportion, up to 256 books. The budget is about 20
// times the most that real encoders write in one setup (13,411 entries and
// 61,254 values, over libvorbis at every quality and the test vectors), and the
// same as our Tremor patches enforce. The walk stops after the codebooks,
// or sooner where the header stops making sense: the rest is Tremor's to
// judge, and it refuses what is malformed cleanly.
#ifndef VELMORA_SETUP_CHECK_H
#define VELMORA_SETUP_CHECK_H

#include <ogg/ogg.h>

constexpr long CODEBOOK_ENTRY_BUDGET = 300000;   // entries over all books of a setup
constexpr long CODEBOOK_VALUE_BUDGET = 1250000;  // entries x dimensions of value-mapped books

// Whether the setup header's codebooks are safe to hand to Tremor: false
// when a value-mapped one (lookup type 1 or 2) has dimension 0, or when the
// books together go over the budget.
bool setup_codebooks_are_safe(ogg_packet &setup);

#endif  // VELMORA_SETUP_CHECK_H
