#include "wav_order.h"

#include <algorithm>
#include <vector>

namespace {

// Speaker positions named as in Vorbis's channel order lists.
enum speaker : std::uint32_t {
    FL = 0x1, FR = 0x2, FC = 0x4, LFE = 0x8, BL = 0x10, BR = 0x20, BC = 0x100, SL = 0x200, SR = 0x400
};

// Each count's channels in the order the decoder gives them (Vorbis I 4.3.9);
// rear L/R of 4 to 6 channels and of 8 are the mask's back pair.
std::vector<speaker> vorbis_order(unsigned channels) {
    switch (channels) {
    case 3: return {FL, FC, FR};
    case 4: return {FL, FR, BL, BR};
    case 5: return {FL, FC, FR, BL, BR};
    case 6: return {FL, FC, FR, BL, BR, LFE};
    case 7: return {FL, FC, FR, SL, SR, BC, LFE};
    case 8: return {FL, FC, FR, SL, SR, BL, BR, LFE};
    default: return {};
    }
}

}  // namespace

std::uint32_t expected_channel_mask(unsigned channels) {
    std::uint32_t mask = 0;
    for (const speaker s : vorbis_order(channels)) mask |= s;
    return mask;
}

// A WAV file's channels run in ascending mask bit order.
std::string in_wav_order(const std::string &vorbis_pcm, unsigned channels) {
    const std::vector<speaker> from = vorbis_order(channels);
    if (from.empty()) return vorbis_pcm;
    std::vector<speaker> to = from;
    std::sort(to.begin(), to.end());
    std::string out;
    out.reserve(vorbis_pcm.size());
    for (std::size_t frame = 0; frame + 2 * channels <= vorbis_pcm.size(); frame += 2 * channels) {
        for (const speaker s : to) {
            const std::size_t index = std::find(from.begin(), from.end(), s) - from.begin();
            out += vorbis_pcm.substr(frame + 2 * index, 2);
        }
    }
    return out;
}
