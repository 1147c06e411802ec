// Packs fields least significant bit first, as Vorbis packets are packed,
// up to a byte limit: once the packet would pass it, further fields are
// dropped and full() reports it, so loops over millions of declared entries
// stop early.
#ifndef VELMORA_FUZZ_BIT_WRITER_H
#define VELMORA_FUZZ_BIT_WRITER_H

#include <cstddef>
#include <cstdint>
#include <vector>

class bit_writer {
public:
    explicit bit_writer(std::size_t byte_limit) : limit_(byte_limit) {}

    void write(std::uint32_t value, int bits) {
        if (full() || bits == 0) return;
        const std::uint64_t mask = bits >= 32 ? 0xFFFFFFFFu : (std::uint64_t{1} << bits) - 1;
        pending_ |= (value & mask) << pending_bits_;
        pending_bits_ += bits;
        for (; pending_bits_ >= 8; pending_bits_ -= 8, pending_ >>= 8) {
            bytes_.push_back(static_cast<std::uint8_t>(pending_));
        }
    }

    void write_bytes(const char *text, std::size_t size) {
        for (std::size_t i = 0; i < size; ++i) write(static_cast<std::uint8_t>(text[i]), 8);
    }

    bool full() const { return bytes_.size() >= limit_; }
    // The packet, its last byte padded with zero bits.
    std::vector<std::uint8_t> &bytes() {
        if (pending_bits_ != 0) bytes_.push_back(static_cast<std::uint8_t>(pending_));
        pending_ = 0;
        pending_bits_ = 0;
        return bytes_;
    }

private:
    std::size_t limit_;
    std::uint64_t pending_ = 0;  // bits not yet in a whole byte, lowest first
    int pending_bits_ = 0;
    std::vector<std::uint8_t> bytes_;
};

#endif  // VELMORA_FUZZ_BIT_WRITER_H
