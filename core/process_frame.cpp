// The host's decoding call: pages from the sync buffer, packets through
// synthesis, PCM drained batch by batch into the host's buffer. A call reads
// at most one chunk of input: when no whole page is buffered it refills once
// and returns what it has.
#include <cstring>

#include "core/decoder.h"
#include "core/packet_limit.h"
#include "core/pcm_convert.h"
#include "input/refill.h"

namespace {

enum class next_step { page, packet, drain, done };

struct frame_call {
    qdx_ogg_decoder &d;
    std::int16_t *out;
    std::int32_t length;
    std::int32_t written = 0;
    bool end_of_stream = false;
};

// Converts ready PCM batch by batch until none is left (go on with packets)
// or the requested length is reached (return, leaving the rest pending).
next_step drain(frame_call &call) {
    qdx_ogg_decoder &d = call.d;
    const int channels = d.info.channels;
    ogg_int32_t **pcm = nullptr;
    int ready;
    while ((ready = vorbis_synthesis_pcmout(&d.dsp, &pcm)) > 0) {
        const int n = ready < d.batch_samples ? ready : d.batch_samples;
        convert_pcm(call.out + call.written / 2, pcm, channels, n);
        vorbis_synthesis_read(&d.dsp, n);
        call.written += n * channels * 2;
        if (call.written >= call.length) {
            d.pcm_pending = 1;
            return next_step::done;
        }
    }
    return next_step::packet;
}

// Feeds the next packet to synthesis. A refused packet is dropped and a gap
// passed over: damaged input never ends decoding.
next_step take_packet(frame_call &call) {
    qdx_ogg_decoder &d = call.d;
    for (;;) {
        int got = ogg_stream_packetout(&d.stream, &d.packet);
        if (got < 0) continue;
        if (got == 0) {
            drop_oversized_packet(d);
            if (ogg_page_eos(&d.page)) call.end_of_stream = true;
            return next_step::page;
        }
        if (vorbis_synthesis(&d.block, &d.packet) == 0) {
            vorbis_synthesis_blockin(&d.dsp, &d.block);
        }
        return next_step::drain;
    }
}

// Submits the next whole page; with none buffered, refills once and ends the
// call so the host gets what was decoded so far.
next_step take_page(frame_call &call) {
    qdx_ogg_decoder &d = call.d;
    if (call.end_of_stream) return next_step::done;
    for (;;) {
        int got = ogg_sync_pageout(&d.sync, &d.page);
        if (got < 0) continue;  // bytes skipped to regain sync
        if (got == 0) {
            refill(d);
            return next_step::done;
        }
        ogg_stream_pagein(&d.stream, &d.page);  // other streams' pages are refused
        return next_step::packet;
    }
}

// Where a call begins: the pending drain, else packets that stream start left
// in the stream layer (the setup header's page may carry audio), else a page.
next_step first_step(qdx_ogg_decoder &d) {
    if (d.pcm_pending) {
        d.pcm_pending = 0;
        return next_step::drain;
    }
    return ogg_stream_packetpeek(&d.stream, nullptr) != 0 ? next_step::packet
                                                          : next_step::page;
}

// Silence for a suspended decoder: as many whole frames of the current
// format as fit in length, as a playing call returns, so a host that asks for
// a length that is not a multiple of the frame stays on frame boundaries
// across the suspend. Before any stream has started there is no frame; the
// whole length is filled then.
std::int32_t silence(const qdx_ogg_decoder &d, void *buffer, std::int32_t length) {
    const std::int32_t frame = d.format.nBlockAlign;
    const std::int32_t bytes = frame > 0 ? length - length % frame : length;
    std::memset(buffer, 0, static_cast<std::size_t>(bytes));
    return bytes;
}

}  // namespace

extern "C" int32_t qdx_ogg_process_frame(qdx_ogg_decoder *d, void *buffer,
                                         int32_t length) {
    if (d == nullptr || buffer == nullptr || length <= 0) return 0;
    if (d->suspended) return silence(*d, buffer, length);
    if (!d->headers_ready) return 0;

    const serving_decoder serving(heap_of(d));
    if (!serving.engaged()) return 0;
    frame_call call{*d, static_cast<std::int16_t *>(buffer), length};
    next_step step = first_step(*d);
    while (step != next_step::done) {
        switch (step) {
            case next_step::page: step = take_page(call); break;
            case next_step::packet: step = take_packet(call); break;
            case next_step::drain: step = drain(call); break;
            case next_step::done: break;
        }
    }
    return call.written;
}
