#include "wav_header.h"

#include <cstring>

namespace {

// Writes little-endian fields one after another, whatever the host's order.
class field_writer {
public:
    explicit field_writer(std::uint8_t *to) : to_(to) {}
    void tag(const char (&four)[5]) { put(four, 4); }
    void u16(std::uint16_t v) { bytes(v, 2); }
    void u32(std::uint32_t v) { bytes(v, 4); }

private:
    void put(const void *from, std::size_t n) {
        std::memcpy(to_, from, n);
        to_ += n;
    }
    void bytes(std::uint32_t v, int n) {
        for (int i = 0; i < n; ++i) *to_++ = static_cast<std::uint8_t>(v >> (8 * i));
    }
    std::uint8_t *to_;
};

}  // namespace

// The fmt chunk is the 16-byte PCM form: cbSize belongs to the extended
// form only, and the record's is 0 anyway.
std::array<std::uint8_t, wav_header_bytes> wav_header(const qdx_ogg_wave_format &format,
                                                      std::uint32_t data_bytes) {
    std::array<std::uint8_t, wav_header_bytes> header{};
    field_writer out(header.data());
    out.tag("RIFF");
    out.u32(36 + data_bytes);
    out.tag("WAVE");
    out.tag("fmt ");
    out.u32(16);
    out.u16(format.wFormatTag);
    out.u16(format.nChannels);
    out.u32(format.nSamplesPerSec);
    out.u32(format.nAvgBytesPerSec);
    out.u16(format.nBlockAlign);
    out.u16(format.wBitsPerSample);
    out.tag("data");
    out.u32(data_bytes);
    return header;
}
