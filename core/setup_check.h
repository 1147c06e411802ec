// A walk over the whole setup header before Tremor unpacks it.
//
// Debian's packaged Tremor trusts much of the setup header: a few hostile
// bytes there can make it divide by zero, read the rest of the header from
// the wrong bit, allocate gigabytes of look-ups or overflow the stack. So
// stream start follows the header as Tremor will, field by field and with
// Tremor's own arithmetic (setup_codebooks.h, setup_floors.h,
// setup_residues.h, setup_mappings.h), works out what synthesis set-up will
// then take (setup_costs.h), and refuses the stream when that goes over the
// limits (setup_limits.h). What the walk cannot follow is refused too, never
// left to Tremor's judgement: the walk is only worth what its place in the
// header is. So is a packet other than a setup header in its place (Tremor
// would take a second comment header there, leaking the first). The check
// runs in every build: it is cheap, and the patched Tremor agrees with it.
#ifndef VELMORA_SETUP_CHECK_H
#define VELMORA_SETUP_CHECK_H

#include <ogg/ogg.h>
#include <tremor/ivorbiscodec.h>

#include "core/setup_costs.h"

// Walks the setup header of the stream whose identification header info
// holds (channels and block sizes) and fills costs. False when the walk
// cannot follow the header, or finds a field Tremor would misread, divide by
// zero with or index out of range with.
bool measure_setup(ogg_packet &setup, vorbis_info &info, setup_costs &costs);

// Whether the costs are within the limits of setup_limits.h.
bool setup_costs_within_limits(const setup_costs &costs);

// Whether the setup header may be handed to Tremor.
bool setup_is_safe(ogg_packet &setup, vorbis_info &info);

#endif  // VELMORA_SETUP_CHECK_H
