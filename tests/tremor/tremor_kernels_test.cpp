// Tremor's hot kernels, sped up by our patches, against the reference C
// over hostile input: full-range values whose products and sums wrap, the
// extremes, every block size from 64 to 8192, in place and out of place.
// Outputs must match bit for bit.
#include "tremor_pair.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace {

using samples = std::vector<std::int32_t>;

const int block_sizes[] = {64, 128, 256, 512, 1024, 2048, 4096, 8192};

// Input patterns: what each value of a buffer may be.
enum class pattern { full_range, extremes, extremes_and_small, audio_range, all_min, all_max };
const pattern patterns[] = {pattern::full_range, pattern::extremes, pattern::extremes_and_small,
                            pattern::audio_range, pattern::all_min, pattern::all_max};

samples make_input(std::size_t n, pattern kind, std::mt19937 &random) {
    samples values(n);
    std::uniform_int_distribution<std::int32_t> any(INT32_MIN, INT32_MAX);
    std::uniform_int_distribution<std::int32_t> audio(-(1 << 24), 1 << 24);
    const std::int32_t special[] = {INT32_MIN, INT32_MAX, 0, -1, 1, INT32_MIN + 1, INT32_MAX - 1};
    for (auto &value : values) {
        switch (kind) {
        case pattern::full_range: value = any(random); break;
        case pattern::extremes: value = (random() & 1) ? INT32_MIN : INT32_MAX; break;
        case pattern::extremes_and_small: value = special[random() % 7]; break;
        case pattern::audio_range: value = audio(random); break;
        case pattern::all_min: value = INT32_MIN; break;
        case pattern::all_max: value = INT32_MAX; break;
        }
    }
    return values;
}

// The first index where two buffers differ, or -1.
long first_difference(const samples &a, const samples &b) {
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i]) return static_cast<long>(i);
    return a.size() == b.size() ? -1 : static_cast<long>(a.size());
}

TEST(TremorKernels, InverseTransformInPlaceMatchesReference) {
    std::mt19937 random(1601);
    for (int n : block_sizes) {
        for (pattern kind : patterns) {
            for (int round = 0; round < 4; ++round) {
                samples patched = make_input(n, kind, random);
                samples reference = patched;
                patched_tremor.mdct_backward(n, patched.data(), patched.data());
                reference_tremor.mdct_backward(n, reference.data(), reference.data());
                ASSERT_EQ(first_difference(patched, reference), -1)
                    << "n " << n << ", pattern " << static_cast<int>(kind) << ", round " << round;
            }
        }
    }
}

TEST(TremorKernels, InverseTransformOutOfPlaceMatchesReference) {
    std::mt19937 random(1602);
    for (int n : block_sizes) {
        for (pattern kind : patterns) {
            for (int round = 0; round < 4; ++round) {
                const samples input = make_input(n / 2, kind, random);
                // The output's prior contents must not matter either.
                samples patched_out = make_input(n, pattern::full_range, random);
                samples reference_out = patched_out;
                samples patched_in = input, reference_in = input;
                patched_tremor.mdct_backward(n, patched_in.data(), patched_out.data());
                reference_tremor.mdct_backward(n, reference_in.data(), reference_out.data());
                ASSERT_EQ(first_difference(patched_out, reference_out), -1)
                    << "n " << n << ", pattern " << static_cast<int>(kind) << ", round " << round;
                ASSERT_EQ(first_difference(patched_in, reference_in), -1) << "input changed, n " << n;
            }
        }
    }
}

// Every pair of short and long block sizes, and every window shape a stream
// can ask for: a short block between short ones, a long block with either
// neighbour short or long.
TEST(TremorKernels, WindowMatchesReference) {
    std::mt19937 random(1603);
    const int shapes[][3] = {{0, 0, 0}, {0, 1, 0}, {0, 1, 1}, {1, 1, 0}, {1, 1, 1}};
    for (int short_size : block_sizes) {
        for (int long_size : block_sizes) {
            if (long_size < short_size) continue;
            long sizes[2] = {short_size, long_size};
            const void *patched_windows[2] = {patched_tremor.window(0, short_size / 2),
                                              patched_tremor.window(0, long_size / 2)};
            const void *reference_windows[2] = {reference_tremor.window(0, short_size / 2),
                                                reference_tremor.window(0, long_size / 2)};
            ASSERT_NE(patched_windows[0], nullptr);
            ASSERT_NE(reference_windows[1], nullptr);
            for (const auto &shape : shapes) {
                const int previous = shape[0], current = shape[1], next = shape[2];
                for (pattern kind : patterns) {
                    samples patched = make_input(sizes[current], kind, random);
                    samples reference = patched;
                    patched_tremor.apply_window(patched.data(), patched_windows, sizes, previous, current, next);
                    reference_tremor.apply_window(reference.data(), reference_windows, sizes, previous,
                                                  current, next);
                    ASSERT_EQ(first_difference(patched, reference), -1)
                        << "blocks " << short_size << "/" << long_size << ", shape " << previous << current
                        << next << ", pattern " << static_cast<int>(kind);
                }
            }
        }
    }
}

// The overlap-add and the decoupling over every length up to two lane
// steps past a block (the lanes and the scalar tail), at every start
// within a lane (unaligned loads), then whole blocks: sums and differences
// that wrap, and every pairing of the signs, zero included.
TEST(TremorKernels, OverlapAddAndDecouplingMatchReference) {
    std::mt19937 random(1605);
    std::vector<int> lengths;
    for (int n = 0; n <= 24; ++n) lengths.push_back(n);
    for (int n : block_sizes) lengths.push_back(n / 2);
    for (pattern kind : patterns) {
        for (int n : lengths) {
            for (int start = 0; start < 4; ++start) {
                SCOPED_TRACE("pattern " + std::to_string(static_cast<int>(kind)) + ", n " + std::to_string(n) +
                             ", start " + std::to_string(start));
                const samples first = make_input(n + start, kind, random);
                const samples second = make_input(n + start, kind, random);

                samples patched = first, reference = first;
                patched_tremor.overlap_add(patched.data() + start, second.data() + start, n);
                reference_tremor.overlap_add(reference.data() + start, second.data() + start, n);
                ASSERT_EQ(first_difference(patched, reference), -1) << "overlap-add";

                samples patched_mag = first, patched_ang = second, reference_mag = first, reference_ang = second;
                patched_tremor.decouple(patched_mag.data() + start, patched_ang.data() + start, n);
                reference_tremor.decouple(reference_mag.data() + start, reference_ang.data() + start, n);
                ASSERT_EQ(first_difference(patched_mag, reference_mag), -1) << "decoupling, magnitude";
                ASSERT_EQ(first_difference(patched_ang, reference_ang), -1) << "decoupling, angle";
            }
        }
    }
}

// The residue times the floor's lines at every block size: lines short
// enough to end within a lane step, long ones, ones that run past the
// block's end or start beyond it, flat ones, ones that rise or fall faster
// than they run (their step needs the division), the table's ends (y 0
// and 255), over full-range and extreme residues.
TEST(TremorKernels, FloorLineMatchesReference) {
    std::mt19937 random(1606);
    std::uniform_int_distribution<int> any_y(0, 255);
    for (int block : block_sizes) {
        const int n = block / 2;
        std::uniform_int_distribution<int> any_x(0, n + 8);
        for (pattern kind : patterns) {
            for (int round = 0; round < 64; ++round) {
                const int x0 = round < 8 ? round : any_x(random);
                int run = 1 + static_cast<int>(random() % 12);
                if (round % 3 == 1) run = 1 + static_cast<int>(random() % (n + 16));
                if (round % 3 == 2) run = 1 + static_cast<int>(random() % 32768);
                const int x1 = x0 + run;
                int y0 = any_y(random), y1 = any_y(random);
                if (round % 8 == 3) y1 = y0;
                if (round % 8 == 5) y0 = 0, y1 = 255;
                if (round % 8 == 6) y0 = 255, y1 = 0;
                SCOPED_TRACE("n " + std::to_string(n) + ", pattern " + std::to_string(static_cast<int>(kind)) +
                             ", line (" + std::to_string(x0) + "," + std::to_string(y0) + ")-(" +
                             std::to_string(x1) + "," + std::to_string(y1) + ")");
                samples patched = make_input(n, kind, random);
                samples reference = patched;
                patched_tremor.render_line(n, x0, x1, y0, y1, patched.data());
                reference_tremor.render_line(n, x0, x1, y0, y1, reference.data());
                ASSERT_EQ(first_difference(patched, reference), -1);
            }
        }
    }
}

#if defined(__ARM_NEON) && !defined(__aarch64__)
// Floor predictions divide by each post's neighbours' distance through a
// reciprocal: every distance a stream can give (2 to 32768), numerators
// around its multiples, where a rounded-up multiplier errs first, up to
// the largest a prediction makes (0x7fff times the distance less one).
TEST(TremorKernels, FloorReciprocalDividesExactly) {
    std::mt19937 random(1607);
    for (std::uint32_t d = 2; d <= 32768; ++d) {
        std::uint32_t mult = 0;
        unsigned char shift = 0;
        _vorbis_floor1_reciprocal(static_cast<int>(d), &mult, &shift);
        const std::uint32_t largest = 0x7fffu * (d - 1);
        std::vector<std::uint32_t> numerators = {0, 1, d - 1, largest - 1, largest};
        for (std::uint32_t q : {1u, 2u, 3u, 255u, 256u, 0x7ffeu}) {
            for (std::uint32_t n : {q * d - 1, q * d, q * d + 1})
                if (n <= largest) numerators.push_back(n);
        }
        for (int round = 0; round < 4; ++round) numerators.push_back(random() % (largest + 1));
        for (std::uint32_t n : numerators) {
            ASSERT_EQ(_vorbis_floor1_quotient(n, mult, shift), static_cast<int>(n / d))
                << n << " / " << d;
        }
    }
}
#endif

}  // namespace
