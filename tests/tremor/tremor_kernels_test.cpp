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

// A random codebook with a value list (map type 2): a complete code tree of
// up to 32-bit codewords (or one codeword of any length), entries unused at
// times, random values.
struct random_book {
    std::vector<long> lengths;
    std::vector<long> values;
    static_codebook source{};
};

void make_book(random_book &book, std::mt19937 &random) {
    const int max_length = 1 + static_cast<int>(random() % 32);
    const int wanted = random() % 16 == 0 ? 1 : 1 + static_cast<int>(random() % 300);
    // Split leaves of the tree at random, the deepest ones half the time,
    // until there are enough or none may grow.
    std::vector<long> leaves{0};
    while (static_cast<int>(leaves.size()) < wanted) {
        std::vector<std::size_t> growable;
        for (std::size_t i = 0; i < leaves.size(); ++i)
            if (leaves[i] < max_length) growable.push_back(i);
        if (growable.empty()) break;
        std::size_t pick = growable[random() % growable.size()];
        if (random() & 1)
            for (std::size_t i : growable)
                if (leaves[i] > leaves[pick]) pick = i;
        const long depth = ++leaves[pick];
        leaves.push_back(depth);
    }
    // A one-entry book: Tremor takes its codeword of any length (all zeros)
    // as matching whatever bits come, a case the decode tables must keep.
    if (leaves.size() == 1) leaves[0] = 1 + static_cast<long>(random() % 32);
    book.lengths.clear();
    for (long length : leaves) {
        if (random() % 8 == 0) book.lengths.push_back(0);  // an unused entry
        book.lengths.push_back(length);
    }
    static_codebook &s = book.source;
    s = static_codebook{};
    s.dim = 1 + static_cast<long>(random() % 8);
    s.entries = static_cast<long>(book.lengths.size());
    s.lengthlist = book.lengths.data();
    s.maptype = 2;
    s.q_quant = 1 + static_cast<int>(random() % 16);
    s.q_sequencep = static_cast<int>(random() & 1);
    // Packed floats: 21-bit mantissa, exponent near its bias, either sign.
    s.q_min = static_cast<long>((random() & 0x801fffffu) | ((768u + random() % 30) << 21));
    s.q_delta = static_cast<long>((random() & 0x801fffffu) | ((768u + random() % 30) << 21));
    book.values.resize(static_cast<std::size_t>(s.entries * s.dim));
    for (auto &value : book.values) value = static_cast<long>(random() % (1u << s.q_quant));
    s.quantlist = book.values.data();
}

// Where a reader stands: its byte, bit, and whether it ran off the end.
std::string reader_state(const oggpack_buffer &b, const unsigned char *data) {
    return std::to_string(b.endbyte) + ":" + std::to_string(b.endbit) + ":" +
           (b.ptr ? std::to_string(b.ptr - data) : std::string("null"));
}

// Decodes from the same bits with both Tremors, the reader starting a few
// bits in, until the packet runs out: every result, every output value and
// the reader's state after each call must match.
TEST(TremorKernels, CodebookDecodeMatchesReference) {
    std::mt19937 random(1604);
    for (int round = 0; round < 400; ++round) {
        random_book book;
        make_book(book, random);
        codebook patched_book, reference_book;
        const int patched_init = patched_tremor.book_init_decode(&patched_book, &book.source);
        const int reference_init = reference_tremor.book_init_decode(&reference_book, &book.source);
        ASSERT_EQ(patched_init, reference_init) << "round " << round;
        if (patched_init != 0) continue;
        const int dim = static_cast<int>(book.source.dim);
        for (int kind = 0; kind < 5; ++kind) {
            std::vector<unsigned char> bits(random() % 48);
            for (auto &byte : bits) byte = static_cast<unsigned char>(random());
            const int skip = static_cast<int>(random() % 8);
            oggpack_buffer patched_reader, reference_reader;
            oggpack_readinit(&patched_reader, bits.data(), static_cast<int>(bits.size()));
            oggpack_readinit(&reference_reader, bits.data(), static_cast<int>(bits.size()));
            oggpack_read(&patched_reader, skip);
            oggpack_read(&reference_reader, skip);
            const int n = dim * (1 + static_cast<int>(random() % 8));
            const int point = reference_book.binarypoint + static_cast<int>(random() % 17) - 8;
            const int channels = 1 + static_cast<int>(random() % 3);
            samples patched_out = make_input(static_cast<std::size_t>(n) * 3, pattern::full_range, random);
            samples reference_out = patched_out;
            for (int call = 0; call < 200; ++call) {
                SCOPED_TRACE("round " + std::to_string(round) + ", kind " + std::to_string(kind) + ", call " +
                             std::to_string(call));
                long patched_result = 0, reference_result = 0;
                switch (kind) {
                case 0:
                    patched_result = patched_tremor.book_decode(&patched_book, &patched_reader);
                    reference_result = reference_tremor.book_decode(&reference_book, &reference_reader);
                    break;
                case 1: {
                    std::vector<long> entries(static_cast<std::size_t>(n));
                    std::vector<std::int32_t *> vectors(static_cast<std::size_t>(n));
                    patched_result = patched_tremor.book_decodevs_add(&patched_book, patched_out.data(),
                                                                      &patched_reader, n, point, entries.data(),
                                                                      vectors.data());
                    reference_result = reference_tremor.book_decodevs_add(&reference_book, reference_out.data(),
                                                                          &reference_reader, n, point,
                                                                          entries.data(), vectors.data());
                    break;
                }
                case 2:
                    patched_result = patched_tremor.book_decodev_add(&patched_book, patched_out.data(),
                                                                     &patched_reader, n, point);
                    reference_result = reference_tremor.book_decodev_add(&reference_book, reference_out.data(),
                                                                         &reference_reader, n, point);
                    break;
                case 3:
                    patched_result = patched_tremor.book_decodev_set(&patched_book, patched_out.data(),
                                                                     &patched_reader, n, point);
                    reference_result = reference_tremor.book_decodev_set(&reference_book, reference_out.data(),
                                                                         &reference_reader, n, point);
                    break;
                default: {
                    std::int32_t *patched_channels[3], *reference_channels[3];
                    for (int c = 0; c < 3; ++c) {
                        patched_channels[c] = patched_out.data() + c * n;
                        reference_channels[c] = reference_out.data() + c * n;
                    }
                    const int per_channel = n / channels / dim * dim;
                    patched_result = patched_tremor.book_decodevv_add(&patched_book, patched_channels, 0, channels,
                                                                      &patched_reader, per_channel, point);
                    reference_result = reference_tremor.book_decodevv_add(
                        &reference_book, reference_channels, 0, channels, &reference_reader, per_channel, point);
                }
                }
                ASSERT_EQ(patched_result, reference_result);
                ASSERT_EQ(reader_state(patched_reader, bits.data()), reader_state(reference_reader, bits.data()));
                ASSERT_EQ(first_difference(patched_out, reference_out), -1);
                if (reference_result < 0 && reference_reader.ptr == nullptr) break;
            }
        }
        patched_tremor.book_clear(&patched_book);
        reference_tremor.book_clear(&reference_book);
    }
}

}  // namespace
