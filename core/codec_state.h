// Teardown of the codec state held in the record.
#ifndef VELMORA_CODEC_STATE_H
#define VELMORA_CODEC_STATE_H

struct qdx_ogg_decoder;

// Clears stream, block, synthesis state, comment, info and sync, in that
// order (the block before the synthesis state it belongs to, info after
// everything that refers to it), and zeroes each, so that a part never
// initialised or already cleared is skipped harmlessly. Leaves sync cleared:
// the caller re-initialises it when the record lives on.
void codec_clear_all(qdx_ogg_decoder &d);

// Clears all codec state and gives the record a fresh, empty sync layer, as
// stream start expects. headers_ready and pcm_pending are reset.
void codec_reset(qdx_ogg_decoder &d);

#endif  // VELMORA_CODEC_STATE_H
