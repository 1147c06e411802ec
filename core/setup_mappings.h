// The mappings and modes that end a setup header, followed as Tremor unpacks
// them.
#ifndef VELMORA_SETUP_MAPPINGS_H
#define VELMORA_SETUP_MAPPINGS_H

#include "core/setup_bits.h"
#include "core/setup_shape.h"

// Reads every mapping into shape (after the residues). The channel count
// sets the width of the coupling fields and the length of the channel map.
// False when the walk cannot follow them as Tremor does.
bool walk_mappings(setup_bits &bits, setup_shape &shape, int channels, long time_slots);

// Reads every mode into shape, then the framing bit that ends the header.
bool walk_modes(setup_bits &bits, setup_shape &shape);

#endif  // VELMORA_SETUP_MAPPINGS_H
