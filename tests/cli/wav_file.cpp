#include "wav_file.h"

namespace {

std::uint32_t le(const std::string &b, std::size_t at, int bytes) {
    std::uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | static_cast<std::uint8_t>(b[at + i]);
    return v;
}

void read_fmt(const std::string &b, std::size_t at, std::uint32_t size, wav_file &wav) {
    if (size < 16) {
        wav.error = "fmt chunk of " + std::to_string(size) + " bytes";
        return;
    }
    wav.format_tag = static_cast<std::uint16_t>(le(b, at, 2));
    wav.channels = static_cast<std::uint16_t>(le(b, at + 2, 2));
    wav.rate = le(b, at + 4, 4);
    wav.byte_rate = le(b, at + 8, 4);
    wav.block_align = static_cast<std::uint16_t>(le(b, at + 12, 2));
    wav.bits = static_cast<std::uint16_t>(le(b, at + 14, 2));
    wav.fmt_bytes = size;
    if (size >= 18) wav.extension_bytes = static_cast<std::uint16_t>(le(b, at + 16, 2));
    if (size >= 40) {
        wav.valid_bits = static_cast<std::uint16_t>(le(b, at + 18, 2));
        wav.channel_mask = le(b, at + 20, 4);
        wav.subformat = b.substr(at + 24, 16);
    }
}

}  // namespace

wav_file parse_wav(const std::string &b) {
    wav_file wav;
    if (b.size() < 12 || b.compare(0, 4, "RIFF") != 0 || b.compare(8, 4, "WAVE") != 0) {
        wav.error = "no RIFF/WAVE signature";
        return wav;
    }
    if (le(b, 4, 4) != b.size() - 8) {
        wav.error = "RIFF size " + std::to_string(le(b, 4, 4)) + " for a file of " + std::to_string(b.size());
        return wav;
    }
    bool have_fmt = false, have_data = false;
    std::size_t at = 12;
    while (wav.error.empty() && at + 8 <= b.size()) {
        const std::string id = b.substr(at, 4);
        const std::uint32_t size = le(b, at + 4, 4);
        const std::size_t body = at + 8;
        if (body + size > b.size()) {
            wav.error = id + " chunk runs past the end of the file";
        } else if (id == "fmt ") {
            read_fmt(b, body, size, wav);
            have_fmt = true;
        } else if (id == "data") {
            if (!have_fmt) wav.error = "data before fmt";
            wav.data.assign(b.begin() + body, b.begin() + body + size);
            have_data = true;
        }
        at = body + size + (size & 1);
    }
    if (wav.error.empty() && at != b.size()) wav.error = "stray bytes after the last chunk";
    if (wav.error.empty() && !have_data) wav.error = "no data chunk";
    return wav;
}
