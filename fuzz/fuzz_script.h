// The choices a fuzz input makes (lengths, source kinds, offsets, the order
// of calls), read from the input's last bytes backwards.
//
// The bytes are read, not removed: the whole input is still the Ogg stream.
// So a seed that is a plain .ogg file works as it is, and a mutation of the
// tail changes both the last page and the choices. Past the input's first
// byte every choice reads as 0.
#ifndef VELMORA_FUZZ_SCRIPT_H
#define VELMORA_FUZZ_SCRIPT_H

#include <cstddef>
#include <cstdint>

class fuzz_script {
public:
    fuzz_script(const std::uint8_t *data, std::size_t size) : data_(data), left_(size) {}

    std::uint8_t byte() { return left_ == 0 ? 0 : data_[--left_]; }

    std::uint32_t u16() {
        const std::uint32_t high = byte();
        return (high << 8) | byte();
    }

    // A value in [0, count); count must be at least 1.
    std::uint32_t pick(std::uint32_t count) { return byte() % count; }

    bool flag() { return (byte() & 1) != 0; }

    bool exhausted() const { return left_ == 0; }

private:
    const std::uint8_t *data_;
    std::size_t left_;
};

#endif  // VELMORA_FUZZ_SCRIPT_H
