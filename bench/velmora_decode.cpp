#include "velmora_decode.h"

#include "velmora.h"

namespace {

// Room for one call: the requested length plus the most a call may overrun.
alignas(16) std::uint8_t host_buffer[HOST_CALL_BYTES + QDX_OGG_MAX_OVERRUN];

// A call may return 0 while the decoder refills; this many in a row means the
// decoder is stuck, which the benchmark reports instead of hanging.
constexpr int MAX_EMPTY_CALLS_IN_A_ROW = 10000;

int32_t attach(qdx_ogg_decoder *d, velmora_input input, const input_block &block) {
    switch (input) {
        case velmora_input::memory:
            return qdx_ogg_input_memory(d, block.bytes(), static_cast<uint32_t>(block.size()), 0);
        case velmora_input::read:
            return qdx_ogg_input_file_open(d, block.path().c_str(), 0, 0);
        case velmora_input::mapped:
            return qdx_ogg_input_file_map(d, block.path().c_str(), 0, 0);
    }
    return 1;
}

void play_to_end(qdx_ogg_decoder *d, pcm_sink &sink, decode_outcome &outcome) {
    int empty_calls = 0;
    while (!qdx_ogg_eof(d)) {
        const int32_t got = qdx_ogg_process_frame(d, host_buffer, HOST_CALL_BYTES);
        if (got > 0) {
            sink.consume(host_buffer, static_cast<std::size_t>(got));
            outcome.bytes += static_cast<std::uint64_t>(got);
            empty_calls = 0;
        } else if (++empty_calls > MAX_EMPTY_CALLS_IN_A_ROW) {
            return;
        }
    }
    outcome.finished = true;
}

}  // namespace

const char *velmora_input_name(velmora_input input) {
    switch (input) {
        case velmora_input::memory: return "memory";
        case velmora_input::read: return "read";
        case velmora_input::mapped: return "mapped";
    }
    return "?";
}

decode_outcome decode_with_velmora(velmora_input input, const input_block &block,
                                   pcm_sink &sink) {
    decode_outcome outcome;
    qdx_ogg_decoder *d = qdx_ogg_create();
    if (d == nullptr) return outcome;
    if (attach(d, input, block) == 0) {
        outcome.started = true;
        const qdx_ogg_wave_format *format = qdx_ogg_pcm_format(d);
        outcome.channels = format->nChannels;
        outcome.rate = static_cast<long>(format->nSamplesPerSec);
        play_to_end(d, sink, outcome);
    }
    qdx_ogg_free(d);
    return outcome;
}
