// Releasing what sources hold.
#ifndef VELMORA_RELEASE_H
#define VELMORA_RELEASE_H

struct qdx_ogg_decoder;
struct qdx_ogg_source;

// Closes a file source's file, or a mapped source's view, mapping object and
// file (in that order), and sets them to 0 / null. Memory sources are left
// alone. Harmless on a source with nothing open or a failed open.
void release_handles(qdx_ogg_source &s);

// Everything a source holds: its handles and, for a memory source that owns
// its block, the block.
void release_source(qdx_ogg_source &s);

// source1, and source2 when a two-source input attached it.
void release_sources(qdx_ogg_decoder &d);

#endif  // VELMORA_RELEASE_H
