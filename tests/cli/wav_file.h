// A strict reader of RIFF/WAVE files, for checking what the tool writes.
#ifndef VELMORA_CLI_WAV_FILE_H
#define VELMORA_CLI_WAV_FILE_H

#include <cstdint>
#include <string>
#include <vector>

struct wav_file {
    std::uint16_t format_tag = 0;
    std::uint16_t channels = 0;
    std::uint32_t rate = 0;
    std::uint32_t byte_rate = 0;
    std::uint16_t block_align = 0;
    std::uint16_t bits = 0;
    std::uint32_t fmt_bytes = 0;
    // WAVE_FORMAT_EXTENSIBLE's fields, when fmt has them
    std::uint16_t extension_bytes = 0;  // cbSize
    std::uint16_t valid_bits = 0;
    std::uint32_t channel_mask = 0;
    std::string subformat;  // the GUID's 16 bytes as stored
    std::vector<std::uint8_t> data;  // the data chunk's bytes
    std::string error;               // empty when the file is well formed
};

// Parses bytes as RIFF/WAVE: the RIFF size must match the file, the chunks
// must tile it exactly, and fmt must come before data.
wav_file parse_wav(const std::string &bytes);

#endif  // VELMORA_CLI_WAV_FILE_H
