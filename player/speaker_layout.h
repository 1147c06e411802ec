// Where each Vorbis channel goes on an SDL audio device. The decoder gives
// frames in Vorbis order; SDL 2 has its own order for each channel count
// (its SDL_AudioSpec notes), and no layout at all for Vorbis's three
// (L C R) and five (FL C FR BL BR) channels, which play on a 5.1 device
// with the speakers they lack left silent.
#ifndef VELMORA_PLAYER_SPEAKER_LAYOUT_H
#define VELMORA_PLAYER_SPEAKER_LAYOUT_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

struct speaker_layout {
    unsigned vorbis_channels = 0;
    unsigned device_channels = 0;
    // Device channel i plays Vorbis channel from_vorbis[i], or silence when -1.
    std::array<int, 8> from_vorbis{};

    bool is_identity() const;
    // Moves frames decoder frames from Vorbis order into the device's.
    void place(const std::int16_t *from, std::int16_t *to, std::size_t frames) const;
};

// The layout for 1 to 8 channels; none beyond, which SDL 2 cannot play.
std::optional<speaker_layout> sdl_speaker_layout(unsigned vorbis_channels);

#endif  // VELMORA_PLAYER_SPEAKER_LAYOUT_H
