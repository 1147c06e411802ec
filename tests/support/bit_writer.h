// Bits written least significant first, as Vorbis packs its headers.
#ifndef VELMORA_TEST_BIT_WRITER_H
#define VELMORA_TEST_BIT_WRITER_H

#include <cstdint>
#include <string>
#include <vector>

class bit_writer {
public:
    bit_writer &put(std::uint32_t value, int width) {
        for (int i = 0; i < width; ++i, ++bits_) {
            if (bits_ % 8 == 0) bytes_.push_back(0);
            bytes_.back() |= static_cast<std::uint8_t>(((value >> i) & 1u) << (bits_ % 8));
        }
        return *this;
    }
    bit_writer &text(const std::string &s) {
        for (const char c : s) put(static_cast<std::uint8_t>(c), 8);
        return *this;
    }
    std::vector<std::uint8_t> packet() const { return bytes_; }

private:
    std::vector<std::uint8_t> bytes_;
    int bits_ = 0;
};

#endif  // VELMORA_TEST_BIT_WRITER_H
