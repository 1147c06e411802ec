// Where each Vorbis channel goes in a WAV file. The decoder gives frames in
// Vorbis order; WAVE_FORMAT_EXTENSIBLE wants the order of its channel mask's
// bits (FL FR FC LFE BL BR ... BC SL SR), so 3 to 8 channels are moved.
#ifndef VELMORA_TOOLS_CHANNEL_LAYOUT_H
#define VELMORA_TOOLS_CHANNEL_LAYOUT_H

#include <cstdint>
#include <optional>
#include <vector>

struct channel_layout {
    std::uint32_t mask;                 // dwChannelMask
    std::vector<unsigned> from_vorbis;  // WAV channel i is Vorbis channel from_vorbis[i]
};

// The layout for 3 to 8 channels; none for others, whose order is left alone
// (1 and 2 agree already; past 8 Vorbis names no positions).
std::optional<channel_layout> wav_channel_layout(unsigned channels);

#endif  // VELMORA_TOOLS_CHANNEL_LAYOUT_H
