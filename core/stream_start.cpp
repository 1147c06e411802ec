#include "core/stream_start.h"

#include "core/comment_skip.h"
#include "core/decoder.h"
#include "core/decoding_reserve.h"
#include "core/header_search.h"
#include "core/packet_limit.h"
#include "core/setup_check.h"
#include "input/refill.h"

namespace {

constexpr std::int32_t STARTED = 0;
constexpr std::int32_t FAILED = 1;

// The identification header: the first packet of the first page, which must
// lie whole within the first chunk, from the source's first byte.
bool read_identification(qdx_ogg_decoder &d) {
    refill(d);
    if (ogg_sync_pageout(&d.sync, &d.page) != 1) return false;
    ogg_stream_init(&d.stream, ogg_page_serialno(&d.page));
    vorbis_info_init(&d.info);
    vorbis_comment_init(&d.comment);
    if (ogg_stream_pagein(&d.stream, &d.page) < 0) return false;
    if (ogg_stream_packetout(&d.stream, &d.packet) != 1) return false;
    return vorbis_synthesis_headerin(&d.info, &d.comment, &d.packet) >= 0;
}

// Hands the next header packet to Tremor: the comment header, which is
// passed over (comment_skip.h), or the setup header, once it is known to be
// one and to be safe for Tremor (setup_check.h).
bool take_header(qdx_ogg_decoder &d, const comment_skip &skip, int headers_read) {
    if (headers_read == 0) return take_comment_header(d, skip);
    if (!setup_is_safe(d.packet, d.info)) return false;
    return vorbis_synthesis_headerin(&d.info, &d.comment, &d.packet) >= 0;
}

// The comment and setup headers, over as many pages and chunks as they take
// and with bounded work between them (header_search.h); the first page may
// carry the start of them. Packets after the setup header
// stay in the stream layer for decoding.
bool read_comment_and_setup(qdx_ogg_decoder &d) {
    comment_skip skip;
    header_search search;
    follow_first_page(skip, d.page);
    int headers_read = 0;
    for (;;) {
        while (headers_read < 2) {
            int got_packet = ogg_stream_packetout(&d.stream, &d.packet);
            if (got_packet == 0) break;
            if (got_packet < 0) return false;
            if (!take_header(d, skip, headers_read)) return false;
            ++headers_read;
        }
        if (headers_read == 2) return true;
        if (skip.layout.malformed()) return false;  // refused, however it goes on
        if (gathered_packet_bytes(d) > SETUP_HEADER_LIMIT) return false;
        const page_search found = next_header_page(d.sync, d.page, search);
        if (found == page_search::gave_up) return false;
        if (found == page_search::need_data) {
            if (refill(d) == 0) return false;  // the source ended first
            continue;
        }
        submit_header_page(d, skip, d.page);  // a refused page shows as a gap
    }
}

void describe_output(qdx_ogg_decoder &d) {
    const std::int32_t channels = d.info.channels;
    const std::uint32_t rate = static_cast<std::uint32_t>(d.info.rate);
    const auto block_align = static_cast<std::uint16_t>(channels * 2);
    d.format.wFormatTag = 1;  // WAVE_FORMAT_PCM
    d.format.nChannels = static_cast<std::uint16_t>(channels);
    d.format.nSamplesPerSec = rate;
    d.format.nAvgBytesPerSec = block_align * rate;
    d.format.nBlockAlign = block_align;
    d.format.wBitsPerSample = 16;
    d.format.cbSize = 0;
    d.batch_samples = 8192 / channels;
}

}  // namespace

std::int32_t stream_start(qdx_ogg_decoder &d) {
    if (!read_identification(d) || !read_comment_and_setup(d)) return FAILED;
    // The codec refuses an identification header without channels; guard the
    // division all the same.
    if (d.info.channels < 1) return FAILED;
    // A synthesis state that could not be set up must never be decoded from.
    if (vorbis_synthesis_init(&d.dsp, &d.info) != 0) return FAILED;
    if (vorbis_block_init(&d.dsp, &d.block) != 0) return FAILED;
    if (!decoding_fits_budget(d)) return FAILED;
    describe_output(d);
    d.headers_ready = 1;
    d.pcm_pending = 0;
    return STARTED;
}
