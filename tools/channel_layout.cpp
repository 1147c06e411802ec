#include "channel_layout.h"

// Vorbis orders, by count: 3 L C R; 4 FL FR RL RR; 5 FL C FR RL RR;
// 6 FL C FR RL RR LFE; 7 FL C FR SL SR RC LFE; 8 FL C FR SL SR RL RR LFE.
std::optional<channel_layout> wav_channel_layout(unsigned channels) {
    switch (channels) {
    case 3: return channel_layout{0x7, {0, 2, 1}};                     // FL FR FC
    case 4: return channel_layout{0x33, {0, 1, 2, 3}};                 // FL FR BL BR
    case 5: return channel_layout{0x37, {0, 2, 1, 3, 4}};              // FL FR FC BL BR
    case 6: return channel_layout{0x3F, {0, 2, 1, 5, 3, 4}};           // FL FR FC LFE BL BR
    case 7: return channel_layout{0x70F, {0, 2, 1, 6, 5, 3, 4}};       // FL FR FC LFE BC SL SR
    case 8: return channel_layout{0x63F, {0, 2, 1, 7, 5, 6, 3, 4}};    // FL FR FC LFE BL BR SL SR
    default: return std::nullopt;
    }
}
