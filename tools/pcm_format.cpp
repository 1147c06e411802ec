#include "pcm_format.h"

#include <cstring>

#include "exit_status.h"

std::string describe_format(const qdx_ogg_wave_format &format) {
    const unsigned channels = format.nChannels;
    return std::to_string(channels) + (channels == 1 ? " channel, " : " channels, ") +
           std::to_string(format.nSamplesPerSec) + " Hz, " + std::to_string(format.wBitsPerSample) + " bits";
}

bool same_format(const qdx_ogg_wave_format &a, const qdx_ogg_wave_format &b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

void require_usable_format(const qdx_ogg_wave_format &format) {
    const bool consistent = format.wFormatTag == 1 && format.wBitsPerSample == 16 && format.nChannels > 0 &&
                            format.nSamplesPerSec > 0 && format.nBlockAlign == format.nChannels * 2u &&
                            format.nAvgBytesPerSec == format.nBlockAlign * format.nSamplesPerSec;
    if (!consistent) {
        throw tool_error(exit_status::internal,
                         "the decoder reported an unusable PCM format (" + describe_format(format) + ")");
    }
}
