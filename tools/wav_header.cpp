#include "wav_header.h"

namespace {

// Writes little-endian fields one after another, whatever the host's order.
// Byte by byte: GCC 12 at -O3 misreads a range insert into a growing vector
// as an overflow (-Wstringop-overflow).
class field_writer {
public:
    explicit field_writer(std::vector<std::uint8_t> &to) : to_(to) {}
    void tag(const char (&four)[5]) {
        for (int i = 0; i < 4; ++i) to_.push_back(static_cast<std::uint8_t>(four[i]));
    }
    void u16(std::uint16_t v) { bytes(v, 2); }
    void u32(std::uint32_t v) { bytes(v, 4); }
    void raw(const std::uint8_t *from, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i) to_.push_back(from[i]);
    }

private:
    void bytes(std::uint32_t v, int n) {
        for (int i = 0; i < n; ++i) to_.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    }
    std::vector<std::uint8_t> &to_;
};

constexpr std::uint16_t wave_format_extensible = 0xFFFE;

// KSDATAFORMAT_SUBTYPE_PCM, 00000001-0000-0010-8000-00AA00389B71, as stored.
constexpr std::uint8_t subtype_pcm[16] = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                          0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

// cbSize 22 covers valid bits, mask and subformat.
void extensible_tail(field_writer &out, const qdx_ogg_wave_format &format, std::uint32_t mask) {
    out.u16(22);
    out.u16(format.wBitsPerSample);
    out.u32(mask);
    out.raw(subtype_pcm, sizeof subtype_pcm);
}

}  // namespace

// Without a mask the fmt chunk is the 16-byte PCM form: cbSize belongs to
// the extended forms only, and the record's is 0 anyway.
std::vector<std::uint8_t> wav_header(const qdx_ogg_wave_format &format, std::optional<std::uint32_t> channel_mask,
                                     std::uint32_t data_bytes) {
    const std::uint32_t fmt_bytes = channel_mask ? 40 : 16;
    std::vector<std::uint8_t> header;
    field_writer out(header);
    out.tag("RIFF");
    out.u32(4 + 8 + fmt_bytes + 8 + data_bytes);
    out.tag("WAVE");
    out.tag("fmt ");
    out.u32(fmt_bytes);
    out.u16(channel_mask ? wave_format_extensible : format.wFormatTag);
    out.u16(format.nChannels);
    out.u32(format.nSamplesPerSec);
    out.u32(format.nAvgBytesPerSec);
    out.u16(format.nBlockAlign);
    out.u16(format.wBitsPerSample);
    if (channel_mask) extensible_tail(out, format, *channel_mask);
    out.tag("data");
    out.u32(data_bytes);
    return header;
}
