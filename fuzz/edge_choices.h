// The field values a structure-aware fuzz input picks, read from its bytes
// front to back, biased toward the values where arithmetic breaks: 0, 1, the
// field's largest value, powers of two and their neighbours, and 31 to 33 and
// 62 to 64 (where 32- and 64-bit products and shifts overflow). Past the
// input's end every byte reads as 0, so a short input still makes a whole,
// small stream.
#ifndef VELMORA_FUZZ_EDGE_CHOICES_H
#define VELMORA_FUZZ_EDGE_CHOICES_H

#include <cstddef>
#include <cstdint>

class edge_choices {
public:
    edge_choices(const std::uint8_t *data, std::size_t size) : data_(data), left_(size) {}

    std::uint8_t byte() {
        if (left_ == 0) return 0;
        --left_;
        return *data_++;
    }

    // Raw bits, up to 32.
    std::uint32_t raw(int bits) {
        std::uint32_t value = 0;
        for (int done = 0; done < bits; done += 8) value |= std::uint32_t{byte()} << done;
        return bits >= 32 ? value : value & ((std::uint32_t{1} << bits) - 1);
    }

    // A value in [0, count); count at least 1.
    std::uint32_t pick(std::uint32_t count) { return byte() % count; }

    // True about once in `one_in` picks (one_in at least 1).
    bool rarely(std::uint32_t one_in) { return count_zero_of(one_in); }

    bool flag() { return (byte() & 1) != 0; }

    // A value of a `bits`-wide field (1 to 32), edges first.
    std::uint32_t edge(int bits) {
        const std::uint32_t max = bits >= 32 ? 0xFFFFFFFFu : (std::uint32_t{1} << bits) - 1;
        static constexpr std::uint32_t notable[] = {31, 32, 33, 62, 63, 64, 255, 256, 65535, 65536};
        const std::uint8_t how = byte();
        switch (how & 7) {
            case 0: return 0;
            case 1: return 1 & max;
            case 2: return max;
            case 3: return (std::uint32_t{1} << ((how >> 3) % bits)) & max;
            case 4: return ((std::uint32_t{1} << ((how >> 3) % bits)) - 1) & max;
            case 5: return ((std::uint32_t{1} << ((how >> 3) % bits)) + 1) & max;
            case 6: return notable[(how >> 3) % 10] & max;
            default: return raw(bits);
        }
    }

    // A small value in [low, high] most of the time, an edge of the field's
    // width now and then.
    std::uint32_t small_or_edge(std::uint32_t low, std::uint32_t high, int bits) {
        if (rarely(8)) return edge(bits);
        return low + pick(high - low + 1);
    }

    bool exhausted() const { return left_ == 0; }

private:
    bool count_zero_of(std::uint32_t one_in) { return pick(one_in) == 0 && left_ != 0; }

    const std::uint8_t *data_;
    std::size_t left_;
};

#endif  // VELMORA_FUZZ_EDGE_CHOICES_H
