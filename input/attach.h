// What every input function does before it describes its sources.
#ifndef VELMORA_ATTACH_H
#define VELMORA_ATTACH_H

struct qdx_ogg_decoder;

// Refuses a null or suspended decoder (false, nothing changed). Otherwise
// releases whatever an earlier input left (codec state, handles, owned
// blocks), so attaching twice neither leaks nor initialises twice, and leaves
// an empty sync layer, two empty sources and a zeroed format record.
bool prepare_for_input(qdx_ogg_decoder *d);

#endif  // VELMORA_ATTACH_H
