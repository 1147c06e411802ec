// What one complete decode reports, whichever decoder ran it.
#ifndef VELMORA_BENCH_DECODE_OUTCOME_H
#define VELMORA_BENCH_DECODE_OUTCOME_H

#include <cstdint>

// Both host loops ask for this many bytes per call, as a player would.
constexpr int HOST_CALL_BYTES = 4096;

struct decode_outcome {
    bool started = false;    // the decoder accepted the stream's headers
    bool finished = false;   // the loop reached the end of the stream
    int channels = 0;
    long rate = 0;
    std::uint64_t bytes = 0; // PCM bytes delivered

    double audio_seconds() const {
        return channels > 0 && rate > 0
                   ? static_cast<double>(bytes) / (2.0 * channels * static_cast<double>(rate))
                   : 0.0;
    }
};

#endif  // VELMORA_BENCH_DECODE_OUTCOME_H
