// The floors of a setup header, followed as Tremor unpacks them.
#ifndef VELMORA_SETUP_FLOORS_H
#define VELMORA_SETUP_FLOORS_H

#include "core/setup_bits.h"
#include "core/setup_shape.h"

// Reads every floor into shape (after the codebooks). False when the walk
// cannot follow them as Tremor does, and for a floor 0 that Tremor would
// divide by zero with, or compute its tables from out of range
// (setup_limits.h).
bool walk_floors(setup_bits &bits, setup_shape &shape);

#endif  // VELMORA_SETUP_FLOORS_H
