// The residues of a setup header, followed as Tremor unpacks them.
#ifndef VELMORA_SETUP_RESIDUES_H
#define VELMORA_SETUP_RESIDUES_H

#include "core/setup_bits.h"
#include "core/setup_shape.h"

// Reads every residue into shape (after the floors). False when the walk
// cannot follow them as Tremor does.
bool walk_residues(setup_bits &bits, setup_shape &shape);

#endif  // VELMORA_SETUP_RESIDUES_H
