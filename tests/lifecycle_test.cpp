// The life of a decoder: null records at every export, attaching a second
// input to a record, and the memory blocks handed over with ownership.
//
// Leaks show in the heap count around repeated sessions, and under the
// sanitizer build double initialisation and double frees too (LeakSanitizer
// at exit, AddressSanitizer at the second free); owned blocks come from
// malloc, the POSIX platform's local heap.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/decoder.h"
#include "core_helpers.h"
#include "support/host_loop.h"
#include "support/resource_watch.h"

namespace {

const std::vector<std::uint8_t> &fixture(const std::string &name) {
    static std::map<std::string, std::vector<std::uint8_t>> loaded;
    auto found = loaded.find(name);
    if (found == loaded.end()) found = loaded.emplace(name, read_bytes(fixture_path(name))).first;
    return found->second;
}

// Attaches a fixture as one memory block: a malloc'd copy handed over with
// ownership, or the loaded bytes read in place.
std::int32_t attach(qdx_ogg_decoder *d, const std::string &name, bool owned) {
    const std::vector<std::uint8_t> &ogg = fixture(name);
    return owned ? qdx_ogg_input_memory(d, owned_copy(ogg), size32(ogg), 1)
                 : qdx_ogg_input_memory(d, ogg.data(), size32(ogg), 0);
}

std::int32_t attach_two_owned(qdx_ogg_decoder *d, const std::string &first,
                              const std::string &second) {
    const std::vector<std::uint8_t> &a = fixture(first);
    const std::vector<std::uint8_t> &b = fixture(second);
    return qdx_ogg_input_memory2(d, owned_copy(a), size32(a), owned_copy(b), size32(b), 1);
}

void expect_decodes_to_reference(qdx_ogg_decoder *d, const std::string &name) {
    const decode_result got = decode_to_end(d, fixed_length(4096));
    EXPECT_EQ(got.fault, "");
    EXPECT_TRUE(got.reached_eof);
    EXPECT_TRUE(got.pcm == reference_for(fixture_path(name)).pcm) << name;
}

// Part of a stream, so that pages, packets and pending PCM are held when
// the next input arrives.
void decode_a_little(qdx_ogg_decoder *d) {
    std::vector<std::uint8_t> pcm;
    std::string fault;
    for (int i = 0; i < 3; ++i) checked_call(d, 2, &pcm, &fault);
    ASSERT_EQ(fault, "");
}

// --- Null records -------------------------------------------------------

TEST(NullDecoder, EveryExportAnswersWithoutTouchingIt) {
    const std::vector<std::uint8_t> &ogg = fixture("short.ogg");
    const std::string path = fixture_path("short.ogg");
    EXPECT_EQ(qdx_ogg_free(nullptr), 0);
    EXPECT_EQ(qdx_ogg_eof(nullptr), 1);
    EXPECT_EQ(qdx_ogg_pcm_format(nullptr), nullptr);
    EXPECT_EQ(qdx_ogg_pcm_size(nullptr), 0);
    EXPECT_EQ(qdx_ogg_replay(nullptr), -1);
    EXPECT_EQ(qdx_ogg_suspend(nullptr), -1);
    EXPECT_EQ(qdx_ogg_resume(nullptr), -1);
    EXPECT_EQ(qdx_ogg_input_memory(nullptr, ogg.data(), size32(ogg), 0), 1);
    EXPECT_EQ(qdx_ogg_input_memory2(nullptr, ogg.data(), size32(ogg), ogg.data(), size32(ogg), 0),
              1);
    EXPECT_EQ(qdx_ogg_input_file_open(nullptr, path.c_str(), 0, 0), 1);
    EXPECT_EQ(qdx_ogg_input_file_open2(nullptr, path.c_str(), 0, 0, path.c_str(), 0, 0), 1);
    EXPECT_EQ(qdx_ogg_input_file_map(nullptr, path.c_str(), 0, 0), 1);
    EXPECT_EQ(qdx_ogg_input_file_map2(nullptr, path.c_str(), 0, 0, path.c_str(), 0, 0), 1);
}

TEST(Lifecycle, FreeStraightAfterCreate) {
    const long left = heap_left_by([] {
        qdx_ogg_decoder *d = qdx_ogg_create();
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(qdx_ogg_eof(d), 1);  // no stream: a host loop ends
        EXPECT_EQ(qdx_ogg_free(d), 0);
    });
    EXPECT_LE(left, HEAP_NOISE_BYTES);
}

// --- Attaching again ------------------------------------------------------
// A second input releases everything the first held: codec state (else the
// framing and synthesis state would be initialised over and leak), and
// owned blocks. The new stream then decodes as if on a fresh record.

TEST(Reattach, MemoryThenMemory) {
    decoder_handle d = new_decoder();
    ASSERT_EQ(attach(d.get(), "stereo44.ogg", true), 0);
    decode_a_little(d.get());
    ASSERT_EQ(attach(d.get(), "mono44.ogg", true), 0);
    EXPECT_EQ(d->pcm_pending, 0);
    EXPECT_EQ(qdx_ogg_pcm_format(d.get())->nChannels, 1);
    EXPECT_EQ(d->batch_samples, 8192);
    expect_decodes_to_reference(d.get(), "mono44.ogg");
}

TEST(Reattach, TwoOwnedBlocksThenMemory) {
    decoder_handle d = new_decoder();
    ASSERT_EQ(attach_two_owned(d.get(), "intro.ogg", "loop.ogg"), 0);
    decode_a_little(d.get());
    ASSERT_EQ(attach(d.get(), "mono22.ogg", false), 0);
    EXPECT_EQ(d->has_second, 0);
    EXPECT_EQ(d->use_second, 0);
    expect_decodes_to_reference(d.get(), "mono22.ogg");
}

// Starts that failed part-way (after the stream layer was set up, and
// inside the setup header) are cleared by the next input.
TEST(Reattach, RefusedThenStarted) {
    decoder_handle d = new_decoder();
    ASSERT_EQ(attach(d.get(), "notvorbis.ogg", false), 1);
    ASSERT_EQ(attach(d.get(), "truncated_setup.ogg", true), 1);
    ASSERT_EQ(attach(d.get(), "stereo44.ogg", false), 0);
    expect_decodes_to_reference(d.get(), "stereo44.ogg");
}

TEST(Reattach, StartedThenRefused) {
    decoder_handle d = new_decoder();
    ASSERT_EQ(attach(d.get(), "stereo44.ogg", true), 0);
    decode_a_little(d.get());
    ASSERT_EQ(attach(d.get(), "plain.wav", false), 1);
    std::vector<std::uint8_t> pcm;
    std::string fault;
    EXPECT_EQ(checked_call(d.get(), 4096, &pcm, &fault), 0);
    EXPECT_EQ(fault, "");
}

// --- Ownership ------------------------------------------------------------

// Released exactly once, at free: also after a refused start, and both
// blocks of a two-source record although decoding never switched to the
// second.
TEST(Ownership, OwnedBlocksAreReleasedAtFree) {
    const long left = heap_left_by([] {
        qdx_ogg_decoder *started = qdx_ogg_create();
        ASSERT_EQ(attach(started, "mono44.ogg", true), 0);
        decode_a_little(started);
        EXPECT_EQ(qdx_ogg_free(started), 0);

        qdx_ogg_decoder *refused = qdx_ogg_create();
        ASSERT_EQ(attach(refused, "plain.wav", true), 1);
        EXPECT_EQ(qdx_ogg_free(refused), 0);

        qdx_ogg_decoder *two = qdx_ogg_create();
        ASSERT_EQ(attach_two_owned(two, "intro.ogg", "loop.ogg"), 0);
        decode_a_little(two);
        EXPECT_EQ(qdx_ogg_free(two), 0);

        qdx_ogg_decoder *two_refused = qdx_ogg_create();
        ASSERT_EQ(attach_two_owned(two_refused, "plain.wav", "loop.ogg"), 1);
        EXPECT_EQ(qdx_ogg_free(two_refused), 0);
    });
    EXPECT_LE(left, HEAP_NOISE_BYTES);
}

// Blocks handed over without ownership are read in place and never written
// or released: the vectors below free their own storage afterwards.
TEST(Ownership, UnownedBlocksAreLeftAlone) {
    const std::vector<std::uint8_t> intro = fixture("intro.ogg");
    const std::vector<std::uint8_t> loop = fixture("loop.ogg");
    qdx_ogg_decoder *d = qdx_ogg_create();
    ASSERT_EQ(qdx_ogg_input_memory2(d, intro.data(), size32(intro), loop.data(), size32(loop), 0),
              0);
    expect_decodes_to_reference(d, "intro.ogg");
    EXPECT_EQ(qdx_ogg_free(d), 0);
    EXPECT_TRUE(intro == fixture("intro.ogg"));
    EXPECT_TRUE(loop == fixture("loop.ogg"));
}

}  // namespace
