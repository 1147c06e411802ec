#include "speaker_layout.h"

namespace {

// Indexed by channel count. Vorbis I's orders: 3 L C R; 5 FL C FR BL BR;
// 6 FL C FR BL BR LFE; 7 FL C FR SL SR BC LFE; 8 FL C FR SL SR BL BR LFE.
// SDL 2's: 4 FL FR BL BR; 6 FL FR FC LFE BL BR; 7 FL FR FC LFE BC SL SR;
// 8 FL FR FC LFE BL BR SL SR.
struct layout_row {
    unsigned device_channels;
    std::array<int, 8> from_vorbis;
};
constexpr layout_row rows[9] = {
    {0, {}},
    {1, {0}},
    {2, {0, 1}},
    {6, {0, 2, 1, -1, -1, -1}},
    {4, {0, 1, 2, 3}},
    {6, {0, 2, 1, -1, 3, 4}},
    {6, {0, 2, 1, 5, 3, 4}},
    {7, {0, 2, 1, 6, 5, 3, 4}},
    {8, {0, 2, 1, 7, 5, 6, 3, 4}},
};

}  // namespace

bool speaker_layout::is_identity() const {
    if (device_channels != vorbis_channels) return false;
    for (unsigned i = 0; i < device_channels; ++i) {
        if (from_vorbis[i] != static_cast<int>(i)) return false;
    }
    return true;
}

void speaker_layout::place(const std::int16_t *from, std::int16_t *to, std::size_t frames) const {
    for (std::size_t f = 0; f < frames; ++f, from += vorbis_channels, to += device_channels) {
        for (unsigned i = 0; i < device_channels; ++i) to[i] = from_vorbis[i] < 0 ? 0 : from[from_vorbis[i]];
    }
}

std::optional<speaker_layout> sdl_speaker_layout(unsigned vorbis_channels) {
    if (vorbis_channels < 1 || vorbis_channels > 8) return std::nullopt;
    speaker_layout layout;
    layout.vorbis_channels = vorbis_channels;
    layout.device_channels = rows[vorbis_channels].device_channels;
    layout.from_vorbis = rows[vorbis_channels].from_vorbis;
    return layout;
}
