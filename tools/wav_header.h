// The RIFF/WAVE header for 16-bit PCM, built from the decoder's PCM format
// record: the canonical 44 bytes, or 68 with WAVE_FORMAT_EXTENSIBLE when a
// channel mask says where the channels sit.
#ifndef VELMORA_TOOLS_WAV_HEADER_H
#define VELMORA_TOOLS_WAV_HEADER_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "velmora.h"

// RIFF sizes are 32 bits and count every byte after the size field.
constexpr std::uint64_t wav_max_data_bytes(std::size_t header_bytes) { return UINT32_MAX - (header_bytes - 8); }

// The header for data_bytes of PCM; data_bytes <= wav_max_data_bytes(its size).
std::vector<std::uint8_t> wav_header(const qdx_ogg_wave_format &format, std::optional<std::uint32_t> channel_mask,
                                     std::uint32_t data_bytes);

#endif  // VELMORA_TOOLS_WAV_HEADER_H
