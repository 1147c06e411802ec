// The decoder record: everything one stream needs, in one fixed-size block
// from the local heap. Plain standard-layout data; the codec state of libogg
// and Tremor is held by value.
#ifndef VELMORA_DECODER_H
#define VELMORA_DECODER_H

#include <ogg/ogg.h>
#include <tremor/ivorbiscodec.h>

#include <cstdint>
#include <type_traits>

#include "velmora.h"
#include "core/heap_budget.h"
#include "input/source.h"

struct qdx_ogg_decoder {
    std::int32_t headers_ready;  // stream start succeeded; codec state is live
    std::int32_t pcm_pending;    // last call stopped at the length; drain first
    std::int32_t suspended;      // files released; decoding yields silence
    ogg_sync_state sync;         // initialised from creation to free
    ogg_stream_state stream;     // the logical stream of the first page
    ogg_page page;               // last page taken; valid until the next refill
    ogg_packet packet;
    vorbis_info info;
    vorbis_comment comment;
    vorbis_dsp_state dsp;
    vorbis_block block;
    qdx_ogg_source source1;
    qdx_ogg_source source2;
    std::int32_t has_second;     // a two-source input attached the record
    std::int32_t use_second;     // refills read source2 (only if has_second)
    qdx_ogg_wave_format format;  // zeros until a stream start succeeds
    std::int32_t batch_samples;  // 8192 / channels: samples per channel a batch
    heap_budget heap;            // what libogg and Tremor hold for this decoder
};

static_assert(std::is_standard_layout<qdx_ogg_decoder>::value,
              "the record is plain data shared with C hosts as a handle");
static_assert(sizeof(qdx_ogg_wave_format) == 18,
              "the format record is the 18-byte WAVEFORMATEX layout");

// The budget a call on the decoder charges the codec's allocations to
// (serving_decoder); none without a decoder.
inline heap_budget *heap_of(qdx_ogg_decoder *d) { return d != nullptr ? &d->heap : nullptr; }

// The source that refills read from.
inline qdx_ogg_source &active_source(qdx_ogg_decoder &d) {
    return d.use_second ? d.source2 : d.source1;
}

#endif  // VELMORA_DECODER_H
