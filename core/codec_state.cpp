#include "core/codec_state.h"

#include <cstring>

#include "core/decoder.h"

namespace {
template <typename State>
void zero(State &state) {
    std::memset(&state, 0, sizeof state);
}
}  // namespace

// Every clear below accepts a zeroed state, and every state in the record is
// either zeroed or initialised, so clearing all of it is always safe, also
// after a stream start that failed half-way.
void codec_clear_all(qdx_ogg_decoder &d) {
    ogg_stream_clear(&d.stream);
    zero(d.stream);
    vorbis_block_clear(&d.block);
    zero(d.block);
    vorbis_dsp_clear(&d.dsp);
    zero(d.dsp);
    vorbis_comment_clear(&d.comment);
    zero(d.comment);
    vorbis_info_clear(&d.info);
    zero(d.info);
    ogg_sync_clear(&d.sync);
    zero(d.sync);
    zero(d.page);
    zero(d.packet);
    d.headers_ready = 0;
    d.pcm_pending = 0;
}

void codec_reset(qdx_ogg_decoder &d) {
    codec_clear_all(d);
    ogg_sync_init(&d.sync);
}
