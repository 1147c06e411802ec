// The codebooks of a setup header, followed bit for bit as Tremor unpacks
// them.
#ifndef VELMORA_SETUP_CODEBOOKS_H
#define VELMORA_SETUP_CODEBOOKS_H

#include "core/setup_bits.h"
#include "core/setup_shape.h"

// Reads every codebook into shape. False when the walk cannot follow them as
// Tremor does (the header runs out or is malformed), when a value-mapped
// book has dimension 0 (Tremor divides by it) or exponents that would put a
// shift count of Tremor's beyond 31 (book_points.h), when Tremor would count a
// lookup type 1 book's values wrongly (tremor_quantvals.h) and so read the
// rest of the header from the wrong bit, or when the books together declare
// more entries or values than the budget (setup_limits.h).
bool walk_codebooks(setup_bits &bits, setup_shape &shape);

#endif  // VELMORA_SETUP_CODEBOOKS_H
