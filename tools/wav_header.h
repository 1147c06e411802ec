// The canonical 44-byte RIFF/WAVE header for 16-bit PCM, built from the
// decoder's PCM format record.
#ifndef VELMORA_TOOLS_WAV_HEADER_H
#define VELMORA_TOOLS_WAV_HEADER_H

#include <array>
#include <cstdint>

#include "velmora.h"

constexpr std::size_t wav_header_bytes = 44;

// RIFF sizes are 32 bits and count the 36 header bytes after the size field.
constexpr std::uint64_t wav_max_data_bytes = UINT32_MAX - 36;

// The header for data_bytes of PCM; data_bytes <= wav_max_data_bytes.
std::array<std::uint8_t, wav_header_bytes> wav_header(const qdx_ogg_wave_format &format,
                                                      std::uint32_t data_bytes);

#endif  // VELMORA_TOOLS_WAV_HEADER_H
