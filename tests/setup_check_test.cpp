// Setup headers that would have Debian's packaged Tremor misread the rest of
// the header, divide by zero, spend gigabytes of heap on look-ups or
// megabytes of stack on a sort are refused at stream start, in every build;
// each beside the same header with the hostile field made harmless, which
// starts. The setups are built field by field after stereo44.ogg's
// identification header (two channels).
#include <gtest/gtest.h>

#include <ogg/ogg.h>

#include <functional>
#include <string>
#include <vector>

#include "core/setup_check.h"
#include "core/setup_limits.h"
#include "support/bit_writer.h"
#include "support/ogg_pages.h"
#include "support/source_kinds.h"
#include "support/test_data.h"

namespace {

using book_writer = std::function<void(bit_writer &)>;

constexpr std::uint32_t CODEBOOK_SYNC = 0x564342;

// A book with listed lengths: of its entries, the first used ones have
// codewords of one bit (so at most two), the rest none. A value-mapped one
// stores values of value_bits each, as many as given.
book_writer listed_book(std::uint32_t dimensions, std::uint32_t entries, std::uint32_t used, int lookup_type = 0,
                        std::uint32_t values = 0, int value_bits = 8) {
    return [=](bit_writer &w) {
        w.put(CODEBOOK_SYNC, 24).put(dimensions, 16).put(entries, 24);
        w.put(0, 1).put(1, 1);  // listed, some perhaps unused
        for (std::uint32_t e = 0; e < entries; ++e) {
            w.put(e < used, 1);
            if (e < used) w.put(0, 5);  // length 1
        }
        w.put(static_cast<std::uint32_t>(lookup_type), 4);
        if (lookup_type == 0) return;
        w.put(0, 32).put(0, 32).put(static_cast<std::uint32_t>(value_bits - 1), 4).put(0, 1);
        for (std::uint32_t v = 0; v < values; ++v) w.put(1, value_bits);
    };
}

// Two entries with a value each: a book any floor or residue may use.
book_writer small_book() { return listed_book(1, 2, 2, 1, 2); }

int bit_width(std::uint32_t value) {
    int width = 0;
    for (; value != 0; value >>= 1) ++width;
    return width;
}

// 2^21 + 1 entries in a few bytes of ordered lengths: one of length 1, the
// rest of length 22.
book_writer huge_book() {
    return [](bit_writer &w) {
        constexpr std::uint32_t ENTRIES = (1u << 21) + 1;
        w.put(CODEBOOK_SYNC, 24).put(1, 16).put(ENTRIES, 24).put(1, 1).put(0, 5);
        std::uint32_t done = 0;
        for (int length = 1; done < ENTRIES; ++length) {
            const std::uint32_t count = length == 1 ? 1 : length == 22 ? ENTRIES - 1 : 0;
            w.put(count, bit_width(ENTRIES - done));
            done += count;
        }
        w.put(0, 4);
    };
}

// Ordered lengths, every entry of the same length: a complete code.
book_writer ordered_book(std::uint32_t entries, std::uint32_t length) {
    return [=](bit_writer &w) {
        w.put(CODEBOOK_SYNC, 24).put(1, 16).put(entries, 24).put(1, 1).put(length - 1, 5);
        w.put(entries, bit_width(entries)).put(0, 4);
    };
}

// Ordered lengths of 13 and 14 bits, as many of each as make a complete code
// of `entries` codewords (8,192 to 16,384).
book_writer complete_book(std::uint32_t entries) {
    return [=](bit_writer &w) {
        const std::uint32_t short_ones = (1u << 14) - entries;
        w.put(CODEBOOK_SYNC, 24).put(1, 16).put(entries, 24).put(1, 1).put(13 - 1, 5);
        w.put(short_ones, bit_width(entries)).put(entries - short_ones, bit_width(entries - short_ones)).put(0, 4);
    };
}

// A floor 1 with no posts but its two ends.
void empty_floor1(bit_writer &w) { w.put(1, 16).put(0, 5).put(0, 2).put(8, 4); }

// A floor 0 of order 1 over 64 barks, coded with book 0.
book_writer floor0(std::uint32_t rate, std::uint32_t amplitude_bits) {
    return [=](bit_writer &w) { w.put(0, 16).put(1, 8).put(rate, 16).put(64, 16).put(amplitude_bits, 6).put(50, 8).put(0, 4).put(0, 8); };
}

struct setup_plan {
    std::vector<book_writer> books;
    book_writer floor = empty_floor1;
    std::uint32_t class_book = 0;  // the residue's
    std::uint32_t classes = 1;
    std::uint32_t submaps = 1;
    std::uint32_t modes = 1;
    std::uint32_t residue_type = 1;
    std::uint32_t partition_size = 64;
    int stage_book = -1;  // the first class's first stage, if any
};

// One residue (coding nothing), one mapping, modes alike.
std::vector<std::uint8_t> setup_header(const setup_plan &plan) {
    constexpr int CHANNELS = 2;
    bit_writer w;
    w.put(5, 8).text("vorbis").put(static_cast<std::uint32_t>(plan.books.size() - 1), 8);
    for (const book_writer &book : plan.books) book(w);
    w.put(0, 6).put(0, 16);  // one time slot, of type 0
    w.put(0, 6);
    plan.floor(w);
    w.put(0, 6).put(plan.residue_type, 16).put(0, 24).put(0, 24).put(plan.partition_size - 1, 24);
    w.put(plan.classes - 1, 6).put(plan.class_book, 8);
    for (std::uint32_t c = 0; c < plan.classes; ++c) w.put(c == 0 && plan.stage_book >= 0, 3).put(0, 1);
    if (plan.stage_book >= 0) w.put(static_cast<std::uint32_t>(plan.stage_book), 8);
    w.put(0, 6).put(0, 16);
    if (plan.submaps > 1) w.put(1, 1).put(plan.submaps - 1, 4);
    else w.put(0, 1);
    w.put(0, 1).put(0, 2);  // no coupling; reserved
    for (int c = 0; plan.submaps > 1 && c < CHANNELS; ++c) w.put(0, 4);
    for (std::uint32_t s = 0; s < plan.submaps; ++s) w.put(0, 8).put(0, 8).put(0, 8);
    w.put(plan.modes - 1, 6);
    for (std::uint32_t m = 0; m < plan.modes; ++m) w.put(1, 1).put(0, 16).put(0, 16).put(0, 8);
    w.put(1, 1);  // framing
    return w.packet();
}

class setup_headers : public ::testing::Test {
protected:
    const std::vector<bytes> pages = pages_of(read_bytes(fixture_path("stereo44.ogg")));
    const bytes comment = packets_on(pages[1])[0];
    const bytes setup = packets_on(pages[1])[1];

    // Stream start over the identification header and the packets given.
    std::int32_t started(const std::vector<bytes> &headers) const {
        std::vector<bytes> out = {pages[0]};
        for (bytes &page : pages_for(serial_of(pages[0]), headers, false)) out.push_back(page);
        const bytes stream = joined_pages(out);
        decoder_ptr d = new_decoder();
        return qdx_ogg_input_memory(d.get(), stream.data(), static_cast<std::uint32_t>(stream.size()), 0);
    }
    std::int32_t started(const setup_plan &plan) const { return started({comment, setup_header(plan)}); }

    // What the setup check works out that the plan's setup costs Tremor.
    setup_costs costs_of(const setup_plan &plan) const {
        bytes first = packets_on(pages[0])[0];
        ogg_packet identification = {};
        identification.packet = first.data();
        identification.bytes = static_cast<long>(first.size());
        identification.b_o_s = 1;
        vorbis_info info;
        vorbis_info_init(&info);
        EXPECT_EQ(vorbis_synthesis_headerin(&info, nullptr, &identification), 0);
        bytes header = setup_header(plan);
        ogg_packet packet = {};
        packet.packet = header.data();
        packet.bytes = static_cast<long>(header.size());
        setup_costs costs;
        EXPECT_TRUE(measure_setup(packet, info, costs));
        vorbis_info_clear(&info);
        return costs;
    }
};

struct hostile_case {
    const char *name;
    setup_plan hostile;
    setup_plan harmless;
};

void PrintTo(const hostile_case &c, std::ostream *os) { *os << c.name; }

std::vector<hostile_case> hostile_cases() {
    // A lookup type 1 book with one entry: Tremor counts 2 values for 64
    // dimensions where long has 64 bits (its product overflows), and 1 for
    // 30 wherever long has 32 bits or more. Its values are written
    // as Tremor reads them, so Tremor reads on in step while a walk with the
    // true count loses its place.
    const book_writer miscounted = listed_book(64, 1, 1, 1, 2);
    const book_writer miscounted_unused = listed_book(64, 1, 0, 1, 2);
    const book_writer counted = listed_book(30, 1, 1, 1, 1);
    const book_writer dimension_zero = listed_book(0, 2, 2, 1, 0);
    const book_writer many_class_words = listed_book(3, 27000, 2);  // 30 classes ^ 3
    return {
        {"type1_count_overflows", {{miscounted, small_book()}, empty_floor1, 1}, {{counted, small_book()}, empty_floor1, 1}},
        {"dimension_zero_after_a_miscount",
         {{miscounted_unused, dimension_zero, small_book()}, empty_floor1, 2},
         {{counted, small_book(), small_book()}, empty_floor1, 2}},
        {"huge_book_after_a_miscount",
         {{miscounted_unused, huge_book(), small_book()}, empty_floor1, 2},
         {{counted, small_book(), small_book()}, empty_floor1, 2}},
        {"floor0_amplitude_of_32_bits", {{small_book()}, floor0(44100, 32)}, {{small_book()}, floor0(44100, 31)}},
        {"floor0_rate_below_2", {{small_book()}, floor0(1, 8)}, {{small_book()}, floor0(2, 8)}},
        // Debian's Tremor sorts a book in stack arrays of 12 bytes per entry.
        {"codebook_sort_over_the_stack_limit", {{ordered_book(1 << 14, 14), small_book()}, empty_floor1, 1},
         {{ordered_book(1 << 12, 12), small_book()}, empty_floor1, 1}},
        {"lookups_for_every_mode_and_submap",
         {{many_class_words, small_book()}, empty_floor1, 0, 30, 16, 64},
         {{many_class_words, small_book()}, empty_floor1, 0, 30, 1, 1}},
    };
}

class hostile_setups : public setup_headers, public ::testing::WithParamInterface<hostile_case> {};

TEST_P(hostile_setups, AreRefusedWhereTheHarmlessOneStarts) {
    EXPECT_EQ(started(GetParam().harmless), 0) << "the setup must be valid but for the hostile field";
    EXPECT_EQ(started(GetParam().hostile), 1);
}

INSTANTIATE_TEST_SUITE_P(, hostile_setups, ::testing::ValuesIn(hostile_cases()),
                         [](const auto &info) { return std::string(info.param.name); });

// The limits that Debian's packaged Tremor has no other bound for, each met
// by a setup just within it, which starts, and one just past it, which is
// refused: a far-off case passes however wrongly a limit is counted.

// A stack array of a pointer and an int per used entry of a book.
TEST_F(setup_headers, SortStackJustWithinAndJustPast) {
    const std::uint32_t most = static_cast<std::uint32_t>(SORT_STACK_LIMIT / (sizeof(void *) + sizeof(int)));
    EXPECT_EQ(started({{complete_book(most), small_book()}, empty_floor1, 1}), 0);
    EXPECT_EQ(started({{complete_book(most + 1), small_book()}, empty_floor1, 1}), 1);
}

// A residue 0 partition decoded through stack arrays of a long and a pointer
// per codeword: partition size / book dimensions of them.
TEST_F(setup_headers, Residue0ScratchJustWithinAndJustPast) {
    const std::uint32_t most = static_cast<std::uint32_t>(RESIDUE0_STACK_LIMIT / (sizeof(long) + sizeof(void *)));
    for (std::uint32_t dimensions : {1u, 4u}) {
        auto plan = [&](std::uint32_t codewords) {
            setup_plan p{{small_book(), listed_book(dimensions, 2, 2, 2, 2 * dimensions)}, empty_floor1};
            p.residue_type = 0;
            p.partition_size = codewords * dimensions;
            p.stage_book = 1;
            return p;
        };
        EXPECT_EQ(started(plan(most)), 0) << dimensions << " dimensions";
        EXPECT_EQ(started(plan(most + 1)), 1) << dimensions << " dimensions";
    }
}

// The look-ups Tremor builds for every mode, once per submap: among them a
// residue's decode map, a pointer and a block of the class book's
// dimensions in ints for every class word. 16 submaps, 8 classes and a
// class book of 2 dimensions (64 class words); as many modes as fit, then
// one more.
TEST_F(setup_headers, LookupsForEveryModeAndSubmapJustWithinAndJustPast) {
    constexpr std::uint32_t CLASS_WORDS = 64, SUBMAPS = 16;
    auto plan = [&](std::uint32_t modes) {
        return setup_plan{{listed_book(2, CLASS_WORDS, 2), small_book()}, empty_floor1, 0, 8, SUBMAPS, modes};
    };
    // What Tremor allocates for one mode's decode maps, less the allocator's
    // bookkeeping: every mode and submap must count at least that.
    const std::uint64_t decode_maps = SUBMAPS * CLASS_WORDS * (sizeof(void *) + 2 * sizeof(int));
    std::uint32_t fit = 0;
    std::uint64_t before = costs_of(plan(1)).lookup_heap - decode_maps;
    for (std::uint32_t modes = 1; modes <= 64; ++modes) {
        const std::uint64_t heap = costs_of(plan(modes)).lookup_heap;
        ASSERT_GE(heap - before, decode_maps) << "mode " << modes << " is not counted whole";
        before = heap;
        if (heap <= LOOKUP_HEAP_LIMIT) fit = modes;
    }
    ASSERT_GT(fit, 1u);
    ASSERT_LT(fit, 64u);
    EXPECT_EQ(started(plan(fit)), 0);
    EXPECT_EQ(started(plan(fit + 1)), 1);
}

// Tremor would unpack a second comment header in the setup header's place,
// leaking the first.
TEST_F(setup_headers, ASecondCommentHeaderIsRefused) {
    EXPECT_EQ(started({comment, setup}), 0);
    EXPECT_EQ(started({comment, comment, setup}), 1);
}

// The walk refuses a header it cannot follow to its end, wherever it is cut,
// rather than leave it to Tremor.
TEST_F(setup_headers, EveryTruncationIsRefusedByTheWalkItself) {
    ogg_packet identification = {};
    bytes first = packets_on(pages[0])[0];
    identification.packet = first.data();
    identification.bytes = static_cast<long>(first.size());
    identification.b_o_s = 1;
    vorbis_info info;
    vorbis_info_init(&info);
    ASSERT_EQ(vorbis_synthesis_headerin(&info, nullptr, &identification), 0);
    bytes header = setup;
    setup_costs costs;
    for (std::size_t length = 0; length <= setup.size(); ++length) {
        ogg_packet packet = {};
        packet.packet = header.data();
        packet.bytes = static_cast<long>(length);
        EXPECT_EQ(measure_setup(packet, info, costs), length == setup.size()) << "cut to " << length << " bytes";
    }
    vorbis_info_clear(&info);
}

}  // namespace
