// What the tool's WAV data must hold for a stream of 3 to 8 channels: the
// decoder's Vorbis-ordered frames with their samples moved into the order
// of the WAVE_FORMAT_EXTENSIBLE channel mask.
#ifndef VELMORA_CLI_WAV_ORDER_H
#define VELMORA_CLI_WAV_ORDER_H

#include <cstdint>
#include <string>

// The mask for a channel count; 0 when the WAV file has none (1, 2, over 8).
std::uint32_t expected_channel_mask(unsigned channels);

// vorbis_pcm (16-bit frames of channels samples) in WAV order; unchanged
// when the count has no mask.
std::string in_wav_order(const std::string &vorbis_pcm, unsigned channels);

#endif  // VELMORA_CLI_WAV_ORDER_H
