// A look at the setup header's codebooks before Tremor unpacks them.
//
// Tremor divides by a codebook's dimensions when it expands a value-mapped
// book for synthesis, and again when residue type 0 decodes with one; its
// unpacking lets a value-mapped book of dimension 0 through, so such a book
// would end the host's process with a division by zero, in every Tremor
// build. That book alone is refused here. The walk stops after the codebooks,
// or sooner where the header stops making sense: the rest is Tremor's to
// judge, and it refuses what is malformed cleanly.
#ifndef VELMORA_SETUP_CHECK_H
#define VELMORA_SETUP_CHECK_H

#include <ogg/ogg.h>

// Whether the setup header's codebooks are safe to hand to Tremor: false
// when a value-mapped one (lookup type 1 or 2) has dimension 0.
bool setup_codebooks_are_safe(ogg_packet &setup);

#endif  // VELMORA_SETUP_CHECK_H
