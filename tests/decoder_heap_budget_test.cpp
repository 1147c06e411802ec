// The heap budget per decoder, in the builds that compile Tremor (and libogg)
// from source: what they hold for a decoder is counted against its budget
// and a block beyond it is refused. A few hundred bytes of setup header can
// ask Tremor for look-up tables per mode and submap: residue decode maps of
// over a gigabyte, floor 0 tables of a quarter of one. With the budget the
// start is refused, the decoder never holds more than the budget, and all of
// it comes back. A real stream decodes within exactly the peak it is charged,
// and decoders on parallel threads are each charged their own blocks.
#include <gtest/gtest.h>

#include <tremor/ivorbiscodec.h>

#include <string>
#include <thread>
#include <vector>

#include "core/codec_state.h"
#include "core/decoder.h"
#include "core/decoding_reserve.h"
#include "support/bit_writer.h"
#include "support/host_loop.h"
#include "support/ogg_pages.h"
#include "support/resource_watch.h"
#include "support/source_kinds.h"
#include "support/test_data.h"

namespace {

#ifdef VELMORA_TREMOR_PATCHED
constexpr bool BUDGET_COUNTED = true;
#else
constexpr bool BUDGET_COUNTED = false;
#endif
#define SKIP_WITHOUT_THE_BUDGET()                                                           \
    if (!BUDGET_COUNTED) GTEST_SKIP() << "Debian's packaged Tremor allocates on its own and " \
                                         "is not counted; the from-source builds run this"

// A stereo setup header that Tremor accepts, with 64 modes that all use one
// mapping of 16 submaps, each with the same floor 0 and residue: Tremor sets
// up a floor and a residue look-up for each of the 1024 mode and submap
// pairs. The residue classifies with a codebook of 32768 entries in 3
// dimensions, so each of its look-ups decodes 32^3 partition words.
struct setup_shape {
    const char *name;
    std::uint32_t floor_bark_map;      // entries of each floor look-up
    std::uint32_t residue_partitions;  // 32: 32768 words per residue look-up
};

bytes hostile_setup(const setup_shape &shape) {
    bit_writer w;
    for (const char c : std::string("\x05vorbis")) w.put(static_cast<std::uint8_t>(c), 8);
    w.put(1, 8);                                               // two codebooks
    w.put(0x564342, 24).put(3, 16).put(32768, 24);             // 0: classes, 3 dimensions
    w.put(1, 1).put(14, 5).put(32768, 16).put(0, 4);           //    all of length 15, no values
    w.put(0x564342, 24).put(1, 16).put(2, 24);                 // 1: floor 0's, 1 dimension
    w.put(1, 1).put(0, 5).put(2, 2);                           //    both of length 1
    w.put(1, 4).put(0, 32).put(0, 32).put(0, 4).put(0, 1).put(0, 2);  // two 1-bit values
    w.put(0, 6).put(0, 16);                                    // the one time slot
    w.put(0, 6).put(0, 16);                                    // one floor, type 0:
    w.put(1, 8).put(44100, 16).put(shape.floor_bark_map, 16);  //   order, rate, bark map
    w.put(8, 6).put(100, 8).put(0, 4).put(1, 8);               //   amplitude, book 1
    w.put(0, 6).put(2, 16);                                    // one residue, type 2:
    w.put(0, 24).put(0, 24).put(31, 24);                       //   begin, end, partition size
    w.put(shape.residue_partitions - 1, 6).put(0, 8);          //   classes by book 0
    for (std::uint32_t i = 0; i < shape.residue_partitions; ++i) w.put(0, 4);  // no cascade
    w.put(0, 6).put(0, 16);                                    // one mapping, type 0:
    w.put(1, 1).put(15, 4).put(0, 1).put(0, 2);                //   16 submaps, no coupling
    w.put(0, 4).put(1, 4);                                     //   channel to submap
    for (int i = 0; i < 16; ++i) w.put(0, 8).put(0, 8).put(0, 8);
    w.put(63, 6);                                              // 64 modes
    for (int i = 0; i < 64; ++i) w.put(1, 1).put(0, 16).put(0, 16).put(0, 8);
    w.put(1, 1);                                               // framing
    return w.packet();
}

const setup_shape residue_maps{"residue_maps", 64, 32};     // 1.3 GB of look-ups
const setup_shape floor_tables{"floor_tables", 65535, 1};  // 270 MB of look-ups

// stereo44.ogg's identification and comment headers, then the setup header.
std::vector<bytes> headers_with(const bytes &setup) {
    const std::vector<bytes> pages = pages_of(read_bytes(fixture_path("stereo44.ogg")));
    return {packets_on(pages[0])[0], packets_on(pages[1])[0], setup};
}

bytes stream_of(const std::vector<bytes> &headers) {
    const std::vector<bytes> pages = pages_of(read_bytes(fixture_path("stereo44.ogg")));
    std::vector<bytes> out = {pages[0]};
    for (bytes &page : pages_for(serial_of(pages[0]), {headers[1], headers[2]}, false))
        out.push_back(page);
    return joined_pages(out);
}

class hostile_setups : public ::testing::TestWithParam<setup_shape> {};

// Tremor itself, given the headers while a budget is served: its look-ups
// take the budget to its last few blocks, synthesis cannot be set up, and
// clearing gives every byte back.
TEST_P(hostile_setups, TremorsLookUpsStopAtTheBudget) {
    SKIP_WITHOUT_THE_BUDGET();
    heap_budget budget{DECODER_HEAP_BUDGET, 0, 0};
    const serving_decoder serving(&budget);
    vorbis_info info;
    vorbis_comment comment;
    vorbis_info_init(&info);
    vorbis_comment_init(&comment);
    int number = 0;
    for (bytes &header : headers_with(hostile_setup(GetParam()))) {
        ogg_packet packet{header.data(), static_cast<long>(header.size()), number == 0, 0, 0, number};
        ASSERT_EQ(vorbis_synthesis_headerin(&info, &comment, &packet), 0) << "header " << number;
        ++number;
    }
    vorbis_dsp_state dsp;
    EXPECT_NE(vorbis_synthesis_init(&dsp, &info), 0);
    EXPECT_LE(budget.peak, budget.limit);
    EXPECT_GT(budget.peak, budget.limit - budget.limit / 8) << "the look-ups were not charged";
    vorbis_comment_clear(&comment);
    vorbis_info_clear(&info);
    EXPECT_EQ(budget.in_use, 0u);
}

// Through the library, in every build (the setup check refuses these before
// Tremor sees them; the budget stands behind it): refused, with the process's
// memory grown by about the budget at most, and all of it given back when the
// decoder is freed.
TEST_P(hostile_setups, StartIsRefusedWithinTheBudget) {
    const bytes stream = stream_of(headers_with(hostile_setup(GetParam())));
    ASSERT_LT(stream.size(), 8192u);
    auto session = [&] {
        decoder_ptr d = new_decoder();
        ASSERT_TRUE(reset_resident_peak());
        const long before = resident_bytes();
        EXPECT_EQ(qdx_ogg_input_memory(d.get(), stream.data(), static_cast<std::uint32_t>(stream.size()), 0), 1);
        EXPECT_LE(d->heap.peak, d->heap.limit);
        // The sanitizers' allocators add red zones and shadow to each block.
        const long slack = 16L << 20;
        EXPECT_LT(resident_peak_bytes() - before, static_cast<long>(DECODER_HEAP_BUDGET) * 2 + slack);
    };
    EXPECT_LE(heap_left_by(session, 2), HEAP_NOISE_BYTES);
}

INSTANTIATE_TEST_SUITE_P(, hostile_setups, ::testing::Values(residue_maps, floor_tables),
                         [](const auto &info) { return std::string(info.param.name); });

// A whole decode from memory; the decoder's counted heap is cleared with its
// codec state, so every block charged must have been credited back.
struct charged_decode {
    decode_result heard;
    std::size_t peak = 0;
    std::size_t left = 0;
};

charged_decode decode_charged(const bytes &ogg, std::size_t limit) {
    charged_decode out;
    decoder_ptr d = new_decoder();
    d->heap.limit = limit;
    if (qdx_ogg_input_memory(d.get(), ogg.data(), static_cast<std::uint32_t>(ogg.size()), 0) == 0)
        out.heard = decode_to_end(d.get(), fixed_length(4096));
    out.peak = d->heap.peak;
    codec_clear_all(*d);
    out.left = d->heap.in_use;
    return out;
}

// The budget is enforced to the byte: a stream decodes to Tremor's PCM with
// exactly the peak it is charged, and not with a byte less.
TEST(decoder_heap_budget, AStreamDecodesWithinExactlyItsPeak) {
    SKIP_WITHOUT_THE_BUDGET();
    const bytes ogg = read_bytes(fixture_path("six48.ogg"));
    const charged_decode free_run = decode_charged(ogg, DECODER_HEAP_BUDGET);
    ASSERT_EQ(free_run.heard.pcm, reference_pcm("six48.ogg"));
    EXPECT_EQ(free_run.left, 0u);
    const charged_decode exact = decode_charged(ogg, free_run.peak);
    EXPECT_EQ(exact.heard.pcm, reference_pcm("six48.ogg"));
    const charged_decode short_by_one = decode_charged(ogg, free_run.peak - 1);
    EXPECT_NE(short_by_one.heard.pcm, reference_pcm("six48.ogg"));
    EXPECT_EQ(short_by_one.left, 0u);
}

// The widest legal stream, 255 channels of 8192-sample long blocks, decodes
// whole with the default budget: its synthesis buffers and a block's storage
// take 2 x 8.4 MB.
TEST(decoder_heap_budget, TheWidestLegalStreamDecodesWithTheDefaultBudget) {
    const bytes ogg = read_bytes(fixture_path("wide255.ogg"));
    const charged_decode run = decode_charged(ogg, DECODER_HEAP_BUDGET);
    EXPECT_EQ(run.heard.pcm, reference_pcm("wide255.ogg"));
    EXPECT_EQ(run.left, 0u);
}

// A budget that holds the start but not a long block's storage beside it
// would drop every long block: the stream is refused at start instead, and
// one that holds both starts.
TEST(decoder_heap_budget, AStreamWhoseBlocksCannotFitIsRefusedAtStart) {
    SKIP_WITHOUT_THE_BUDGET();
    const bytes ogg = read_bytes(fixture_path("wide255.ogg"));
    decoder_ptr d = new_decoder();
    ASSERT_EQ(qdx_ogg_input_memory(d.get(), ogg.data(), static_cast<std::uint32_t>(ogg.size()), 0), 0);
    const std::size_t needed = d->heap.in_use + long_block_storage(*d);
    for (const std::size_t limit : {std::size_t{16} << 20, needed - 1}) {
        SCOPED_TRACE("budget " + std::to_string(limit));
        EXPECT_EQ(decode_charged(ogg, limit).heard.pcm, bytes{});
        d->heap.limit = limit;
        qdx_ogg_replay(d.get());
        EXPECT_EQ(qdx_ogg_eof(d.get()), 1) << "started, to play nothing";
    }
    d->heap.limit = needed;
    EXPECT_EQ(qdx_ogg_replay(d.get()), 0);
    EXPECT_EQ(qdx_ogg_eof(d.get()), 0);
}

// Decoders on parallel threads are charged what each is charged alone.
TEST(decoder_heap_budget, ParallelDecodersAreChargedTheirOwnBlocks) {
    SKIP_WITHOUT_THE_BUDGET();
    const std::vector<std::string> names = {"stereo44.ogg", "six48.ogg", "mono44.ogg"};
    std::vector<bytes> oggs;
    std::vector<std::size_t> alone;
    for (const std::string &name : names) {
        reference_pcm(name);  // decoded here: the reference cache is not shared safely
        oggs.push_back(read_bytes(fixture_path(name)));
        alone.push_back(decode_charged(oggs.back(), DECODER_HEAP_BUDGET).peak);
    }
    std::vector<std::vector<charged_decode>> runs(names.size());
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < names.size(); ++i) {
        threads.emplace_back([&, i] {
            for (int round = 0; round < 4; ++round)
                runs[i].push_back(decode_charged(oggs[i], DECODER_HEAP_BUDGET));
        });
    }
    for (std::thread &t : threads) t.join();
    for (std::size_t i = 0; i < names.size(); ++i) {
        SCOPED_TRACE(names[i]);
        for (const charged_decode &run : runs[i]) {
            EXPECT_EQ(run.heard.pcm, reference_pcm(names[i]));
            EXPECT_EQ(run.peak, alone[i]);
            EXPECT_EQ(run.left, 0u);
        }
    }
}

}  // namespace
