// Tremor's codebook decoders, sped up by our patches (the inline codeword
// reader and its second-stage table, the residue loops), against the
// reference C: every result, every output value, the reader's state, and
// guard values before and after every output range, which neither may
// touch. Partitions need not be a multiple of a book's dimension. Every
// exponent a setup header can give a book's values is either refused by
// both Tremors and by stream start, or decodes as the reference at every
// shift it leads to.
#include "tremor_pair.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "core/book_points.h"
#include "core/setup_limits.h"

namespace {

using samples = std::vector<std::int32_t>;

constexpr std::int32_t GUARD = 0x5a5a5a5a;
constexpr std::size_t GUARD_VALUES = 8;
constexpr int RESIDUE_POINT = -8;  // where the residues take values
constexpr int FLOOR0_POINT = -24;  // where floor 0 takes them

// An output range of n values between two runs of guard values, filled with
// full-range values.
struct guarded {
    samples all;
    guarded(std::size_t n, std::mt19937 &random) : all(n + 2 * GUARD_VALUES, GUARD) {
        for (std::size_t i = 0; i < n; ++i) all[GUARD_VALUES + i] = static_cast<std::int32_t>(random());
    }
    std::int32_t *data() { return all.data() + GUARD_VALUES; }
    bool guards_intact() const {
        for (std::size_t i = 0; i < GUARD_VALUES; ++i)
            if (all[i] != GUARD || all[all.size() - 1 - i] != GUARD) return false;
        return true;
    }
};

// A book's fields and the two Tremors' decode forms of it.
struct book_pair {
    codebook patched{}, reference{};
    int patched_init, reference_init;
    explicit book_pair(const static_codebook &source)
        : patched_init(patched_tremor.book_init_decode(&patched, &source)),
          reference_init(reference_tremor.book_init_decode(&reference, &source)) {}
    ~book_pair() {
        if (patched_init == 0) patched_tremor.book_clear(&patched);
        if (reference_init == 0) reference_tremor.book_clear(&reference);
    }
    book_pair(const book_pair &) = delete;
    book_pair &operator=(const book_pair &) = delete;
};

struct book_source {
    std::vector<long> lengths;
    std::vector<long> values;
    static_codebook source{};

    // Points the source at the lists, with a value mapping of type 2 (a
    // value per entry and dimension) of the width given.
    void map_values(long dimensions, int value_bits, std::mt19937 &random) {
        source.dim = dimensions;
        source.entries = static_cast<long>(lengths.size());
        source.lengthlist = lengths.data();
        source.maptype = 2;
        source.q_quant = value_bits;
        values.resize(static_cast<std::size_t>(source.entries * dimensions));
        for (auto &value : values) value = static_cast<long>(random() % (1u << value_bits));
        source.quantlist = values.data();
    }
};

// A packed float: sign, 10-bit exponent field, 21-bit mantissa.
long packed_float(std::uint32_t exponent_field, std::uint32_t mantissa, bool negative) {
    return static_cast<long>((negative ? 0x80000000u : 0u) | (exponent_field & 0x3ffu) << 21 | (mantissa & 0x1fffffu));
}

// A mantissa whose top bit lies anywhere in its 21 bits.
std::uint32_t any_mantissa(std::mt19937 &random) {
    const std::uint32_t top = 1u << (random() % 21);
    return top | (random() & (top - 1));
}

// Leaves of a code tree grown at random from one leaf at depth `from` until
// there are `wanted` or none may grow past `deepest`; the deepest ones grow
// half the time.
std::vector<long> random_leaves(long from, long deepest, int wanted, std::mt19937 &random) {
    std::vector<long> leaves{from};
    while (static_cast<int>(leaves.size()) < wanted) {
        std::vector<std::size_t> growable;
        for (std::size_t i = 0; i < leaves.size(); ++i)
            if (leaves[i] < deepest) growable.push_back(i);
        if (growable.empty()) break;
        std::size_t pick = growable[random() % growable.size()];
        if (random() & 1)
            for (std::size_t i : growable)
                if (leaves[i] > leaves[pick]) pick = i;
        const long depth = ++leaves[pick];
        leaves.push_back(depth);
    }
    return leaves;
}

// Where a reader stands: its byte, bit, and whether it ran off the end.
std::string reader_state(const oggpack_buffer &b, const unsigned char *data) {
    return std::to_string(b.endbyte) + ":" + std::to_string(b.endbit) + ":" +
           (b.ptr ? std::to_string(b.ptr - data) : std::string("null"));
}

enum class decoder { entry, residue_0, residue_1, floor_0, residue_2 };
const decoder decoders[] = {decoder::entry, decoder::residue_0, decoder::residue_1, decoder::floor_0,
                            decoder::residue_2};

// A packet given to the decoders, and the byte their readers start at.
struct packet_at {
    std::vector<unsigned char> *bytes;
    long start;
};

// One decoder's calls on both Tremors from the same bits (`bits` long, the
// reader starting `skip` bits in; or those of a packet given, from its
// start byte), until the packet runs out or `calls` are made: n values a
// call (per channel for the type 2 residue, from an offset), at `point`.
// Every result, output value, guard and reader state must match.
void expect_same_decodes(book_pair &books, decoder kind, int n, int point, int channels, std::mt19937 &random,
                         int calls = 64, packet_at given = {nullptr, 0}) {
    std::vector<unsigned char> own(given.bytes ? 0 : random() % 64);
    std::vector<unsigned char> &bits = given.bytes ? *given.bytes : own;
    for (auto &byte : own) byte = static_cast<unsigned char>(random());
    const int skip = static_cast<int>(random() % 8);
    oggpack_buffer patched_reader, reference_reader;
    oggpack_readinit(&patched_reader, bits.data(), static_cast<int>(bits.size()));
    oggpack_readinit(&reference_reader, bits.data(), static_cast<int>(bits.size()));
    oggpack_adv(&patched_reader, static_cast<int>(given.start * 8));
    oggpack_adv(&reference_reader, static_cast<int>(given.start * 8));
    oggpack_read(&patched_reader, skip);
    oggpack_read(&reference_reader, skip);
    const int offset = kind == decoder::residue_2 ? static_cast<int>(random() % 5) : 0;
    std::vector<guarded> patched_out, reference_out;
    for (int c = 0; c < channels; ++c) {
        patched_out.emplace_back(static_cast<std::size_t>(offset + n), random);
        reference_out.push_back(patched_out.back());
    }
    const int dim = static_cast<int>(books.reference.dim);
    for (int call = 0; call < calls; ++call) {
        SCOPED_TRACE("decoder " + std::to_string(static_cast<int>(kind)) + ", n " + std::to_string(n) +
                     ", dimensions " + std::to_string(dim) + ", point " + std::to_string(point) + ", call " +
                     std::to_string(call));
        long patched_result = 0, reference_result = 0;
        std::int32_t *patched_a = patched_out[0].data(), *reference_a = reference_out[0].data();
        switch (kind) {
        case decoder::entry:
            patched_result = patched_tremor.book_decode(&books.patched, &patched_reader);
            reference_result = reference_tremor.book_decode(&books.reference, &reference_reader);
            break;
        case decoder::residue_0: {
            const std::size_t vectors = static_cast<std::size_t>(n / dim);
            std::vector<long> entries(vectors);
            std::vector<std::int32_t *> tables(vectors);
            patched_result = patched_tremor.book_decodevs_add(&books.patched, patched_a, &patched_reader, n, point,
                                                              entries.data(), tables.data());
            reference_result = reference_tremor.book_decodevs_add(&books.reference, reference_a, &reference_reader,
                                                                  n, point, entries.data(), tables.data());
            break;
        }
        case decoder::residue_1:
            patched_result = patched_tremor.book_decodev_add(&books.patched, patched_a, &patched_reader, n, point);
            reference_result =
                reference_tremor.book_decodev_add(&books.reference, reference_a, &reference_reader, n, point);
            break;
        case decoder::floor_0:
            patched_result = patched_tremor.book_decodev_set(&books.patched, patched_a, &patched_reader, n, point);
            reference_result =
                reference_tremor.book_decodev_set(&books.reference, reference_a, &reference_reader, n, point);
            break;
        case decoder::residue_2: {
            std::vector<std::int32_t *> patched_channels, reference_channels;
            for (int c = 0; c < channels; ++c) {
                patched_channels.push_back(patched_out[c].data());
                reference_channels.push_back(reference_out[c].data());
            }
            patched_result = patched_tremor.book_decodevv_add(&books.patched, patched_channels.data(), offset,
                                                              channels, &patched_reader, n, point);
            reference_result = reference_tremor.book_decodevv_add(&books.reference, reference_channels.data(),
                                                                  offset, channels, &reference_reader, n, point);
        }
        }
        ASSERT_EQ(patched_result, reference_result);
        ASSERT_EQ(reader_state(patched_reader, bits.data()), reader_state(reference_reader, bits.data()));
        for (int c = 0; c < channels; ++c) {
            ASSERT_TRUE(patched_out[c].guards_intact()) << "the patched Tremor wrote outside, channel " << c;
            ASSERT_TRUE(reference_out[c].guards_intact()) << "the reference wrote outside, channel " << c;
            ASSERT_TRUE(patched_out[c].all == reference_out[c].all) << "outputs differ, channel " << c;
        }
        if (reference_result < 0 && reference_reader.ptr == nullptr) break;
    }
}

// Each decoder once, at a point the book allows, over a partition of any
// length (a multiple of the dimensions or not).
void expect_every_decoder_alike(book_pair &books, int point, std::mt19937 &random, int calls = 64) {
    const int dim = static_cast<int>(books.reference.dim);
    for (decoder kind : decoders) {
        const int n = dim * static_cast<int>(random() % 6) + static_cast<int>(random() % (dim + 1)) + 1;
        const int channels = kind == decoder::residue_2 ? 1 + static_cast<int>(random() % 3) : 1;
        expect_same_decodes(books, kind, n, point, channels, random, calls);
        if (::testing::Test::HasFatalFailure()) return;
    }
    // The type 2 residue once more with as many channels as the book has
    // values (5.1 streams: five channels, books of 5), where every vector
    // fills one sample of each channel.
    const int n = static_cast<int>(random() % 9) + 1;
    expect_same_decodes(books, decoder::residue_2, n, point, dim, random, calls);
}

// Random books: a code tree of codewords up to 32 bits (or one codeword of
// any length), entries unused at times, values of up to 16 bits around
// ordinary exponents.
TEST(TremorCodebooks, DecodeMatchesReference) {
    std::mt19937 random(1604);
    for (int round = 0; round < 400; ++round) {
        book_source book;
        std::vector<long> leaves = random_leaves(0, 1 + static_cast<long>(random() % 32),
                                                 random() % 16 == 0 ? 1 : 1 + static_cast<int>(random() % 300), random);
        // A one-entry book: Tremor takes its codeword of any length (all
        // zeros) as matching whatever bits come, a case the tables must keep.
        if (leaves.size() == 1) leaves[0] = 1 + static_cast<long>(random() % 32);
        for (long length : leaves) {
            if (random() % 8 == 0) book.lengths.push_back(0);  // an unused entry
            book.lengths.push_back(length);
        }
        book.map_values(1 + static_cast<long>(random() % 9), 1 + static_cast<int>(random() % 16), random);
        book.source.q_sequencep = static_cast<int>(random() & 1);
        book.source.q_min = packed_float(770 + random() % 20, any_mantissa(random) | 1u << 20, random() & 1);
        book.source.q_delta = packed_float(766 + random() % 16, any_mantissa(random) | 1u << 20, random() & 1);
        book_pair books(book.source);
        ASSERT_EQ(books.patched_init, books.reference_init) << "round " << round;
        if (books.reference_init != 0) continue;
        const int bp = books.reference.binarypoint;
        const int points[] = {RESIDUE_POINT, FLOOR0_POINT, bp - 31 + static_cast<int>(random() % 63)};
        for (int point : points) {
            SCOPED_TRACE("round " + std::to_string(round));
            expect_every_decoder_alike(books, point, random);
            if (HasFatalFailure()) return;
        }
    }
}

// A book's values at every exponent the header's 10-bit fields can give its
// minimum and delta, either at random distances apart or one of them 0. The
// shifts from its binary point to the decoders' (and of each value to the
// binary point) must stay within 31: a book that would take one further is
// refused by both Tremors, and stream start's bound from the fields alone
// never lets through one they refuse. Every other decodes as the reference,
// and between them they reach every binary point a book may have, so every
// shift a decoder can be asked for.
TEST(TremorCodebooks, EveryValueExponentIsRefusedOrDecodesAsReference) {
    std::mt19937 random(2104);
    std::set<int> points_reached;
    long accepted = 0, refused = 0;
    for (int field = 0; field < 1024; ++field) {
        for (int distance = -44; distance <= 48; ++distance) {
            book_source book;
            book.lengths = random_leaves(0, 6, 2 + static_cast<int>(random() % 12), random);
            const long dimensions = 1 + static_cast<long>(random() % 9);
            book.map_values(dimensions, 1 + static_cast<int>(random() % 16), random);
            book.source.q_sequencep = static_cast<int>(random() % 4 == 0);
            std::uint32_t min_mantissa = any_mantissa(random), delta_mantissa = any_mantissa(random);
            std::uint32_t min_field = static_cast<std::uint32_t>(field), delta_field = min_field + distance;
            if (distance == 47) min_mantissa = 0, delta_field = min_field;  // the minimum 0
            if (distance == 48) delta_mantissa = 0;                          // the delta 0
            book.source.q_min = packed_float(min_field, min_mantissa, random() & 1);
            book.source.q_delta = packed_float(delta_field, delta_mantissa, random() & 1);

            const book_values fields{static_cast<unsigned long>(book.source.q_min),
                                     static_cast<unsigned long>(book.source.q_delta), book.source.q_quant,
                                     book.source.q_sequencep != 0, dimensions};
            const bool within = book_points_within_range(fields);
            book_pair books(book.source);
            SCOPED_TRACE("exponent field " + std::to_string(field) + ", distance " + std::to_string(distance));
            ASSERT_EQ(books.patched_init, books.reference_init);
            if (within) {
                ASSERT_EQ(books.reference_init, 0) << "stream start lets through a book Tremor refuses";
            }
            if (books.reference_init != 0) {
                ++refused;
                continue;
            }
            ++accepted;
            const int bp = books.reference.binarypoint;
            ASSERT_GE(bp, BOOK_POINT_LOWEST);
            ASSERT_LE(bp, BOOK_POINT_HIGHEST);
            points_reached.insert(bp);
            for (int point : {RESIDUE_POINT, FLOOR0_POINT}) {
                expect_every_decoder_alike(books, point, random, 4);
                if (HasFatalFailure()) return;
            }
        }
    }
    EXPECT_GT(refused, accepted);
    EXPECT_EQ(points_reached.size(), static_cast<std::size_t>(BOOK_POINT_HIGHEST - BOOK_POINT_LOWEST + 1))
        << "binary points reached: " << points_reached.size();
}

// The second-stage table (patch 0031) caches entries 0 to 4095 in 12 bits
// beside the codeword's length. Books of more than 4096 used entries whose
// first 4096 codewords (13 bits, the tree's whole first half, some entries
// unused between them) sort before short ones: the first short codeword
// sorts at exactly 4096, the table's first entry it must not cache.
TEST(TremorCodebooks, ShortCodewordsSortedPastTheTableDecodeAsReference) {
    std::mt19937 random(4096);
    for (int round = 0; round < 12; ++round) {
        book_source book;
        for (int entry = 0; entry < 4096; ++entry) {
            if (random() % 64 == 0) book.lengths.push_back(0);
            book.lengths.push_back(13);
        }
        for (long length : random_leaves(1, 10, 2 + static_cast<int>(random() % 40), random))
            book.lengths.push_back(length);
        book.map_values(1 + static_cast<long>(random() % 8), 8, random);
        book.source.q_min = packed_float(790, 0x1fffff, true);
        book.source.q_delta = packed_float(788, 0x100000, false);
        book_pair books(book.source);
        ASSERT_EQ(books.patched_init, 0);
        ASSERT_EQ(books.reference_init, 0);
        ASSERT_GT(books.reference.used_entries, 4096);
        for (int point : {RESIDUE_POINT, FLOOR0_POINT}) {
            SCOPED_TRACE("round " + std::to_string(round));
            expect_every_decoder_alike(books, point, random, 200);
            if (HasFatalFailure()) return;
        }
    }
}

// The residue decoders keep their reader's position as a bit count, and
// leave the packet past its first 2^27 bytes to the whole decode: readers
// starting just before that byte of a packet reaching past it, which
// decode across it (vectors of 1 to 8 values, 1, 2 and 5 channels).
TEST(TremorCodebooks, ResidueDecodesAcrossByte128MiBAsReference) {
    constexpr long mark = 1L << 27;
    std::vector<unsigned char> packet(static_cast<std::size_t>(mark) + 48);
    std::mt19937 random(27);
    for (int round = 0; round < 24; ++round) {
        for (long i = mark - 48; i < static_cast<long>(packet.size()); ++i)
            packet[static_cast<std::size_t>(i)] = static_cast<unsigned char>(random());
        book_source book;
        book.lengths = random_leaves(0, 1 + static_cast<long>(random() % 12), 2 + static_cast<int>(random() % 200),
                                     random);
        const long dims[] = {1, 2, 4, 5, 8};
        book.map_values(dims[random() % 5], 1 + static_cast<int>(random() % 16), random);
        book.source.q_min = packed_float(780, any_mantissa(random) | 1u << 20, random() & 1);
        book.source.q_delta = packed_float(776, any_mantissa(random) | 1u << 20, false);
        book_pair books(book.source);
        ASSERT_EQ(books.patched_init, books.reference_init);
        if (books.reference_init != 0) continue;
        const int dim = static_cast<int>(books.reference.dim);
        for (int channels : {1, 2, 5}) {
            SCOPED_TRACE("round " + std::to_string(round) + ", channels " + std::to_string(channels));
            const packet_at near_mark{&packet, mark - 1 - static_cast<long>(random() % 40)};
            const int n = 1 + static_cast<int>(random() % 16);
            expect_same_decodes(books, channels == 1 ? decoder::residue_1 : decoder::residue_2,
                                channels == 1 ? n * dim : n, RESIDUE_POINT, channels, random, 64, near_mark);
            if (HasFatalFailure()) return;
        }
    }
}

}  // namespace
