// Frame decoding from memory: the guards at the door, whole batches and the
// pending drain, one chunk of input per call, and the end of the stream.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <tuple>
#include <vector>

#include "core/decoder.h"
#include "core_helpers.h"
#include "support/host_loop.h"

namespace {

constexpr std::uint8_t PATTERN = 0x5A;

// A decoder started on a fixture held in memory without ownership.
struct started_stream {
    explicit started_stream(const std::string &file) : ogg(read_bytes(fixture_path(file))) {
        started = qdx_ogg_input_memory(d.get(), ogg.data(), size32(ogg), 0);
    }

    const std::vector<std::uint8_t> ogg;
    decoder_handle d = new_decoder();
    std::int32_t started = 1;
};

const std::vector<std::uint8_t> &reference_pcm(const std::string &file) {
    return reference_for(fixture_path(file)).pcm;
}

bool untouched(const std::vector<std::uint8_t> &buffer) {
    for (std::uint8_t b : buffer) {
        if (b != PATTERN) return false;
    }
    return true;
}

// --- Guards: nothing written, nothing consumed -----------------------------

TEST(DecodingGuards, NullDecoder) {
    std::vector<std::uint8_t> buffer(4096 + 16384, PATTERN);
    EXPECT_EQ(qdx_ogg_process_frame(nullptr, buffer.data(), 4096), 0);
    EXPECT_TRUE(untouched(buffer));
}

TEST(DecodingGuards, DecoderWithoutInput) {
    decoder_handle d = new_decoder();
    std::vector<std::uint8_t> buffer(4096 + 16384, PATTERN);
    EXPECT_EQ(qdx_ogg_process_frame(d.get(), buffer.data(), 4096), 0);
    EXPECT_TRUE(untouched(buffer));
}

// Refused calls on a started stream leave it exactly where it was: the
// decoding that follows still yields all of the reference PCM.
TEST(DecodingGuards, BadArgumentsChangeNothing) {
    started_stream s("stereo44.ogg");
    ASSERT_EQ(s.started, 0);
    std::vector<std::uint8_t> pcm;
    std::string fault;
    while (pcm.empty() && fault.empty()) checked_call(s.d.get(), 2, &pcm, &fault);
    ASSERT_EQ(s.d->pcm_pending, 1);
    const std::uint32_t position = s.d->source1.position;

    std::vector<std::uint8_t> buffer(4096 + 16384, PATTERN);
    EXPECT_EQ(qdx_ogg_process_frame(s.d.get(), nullptr, 4096), 0);
    for (std::int32_t length : {0, -1, -4096, INT_MIN}) {
        EXPECT_EQ(qdx_ogg_process_frame(s.d.get(), buffer.data(), length), 0) << length;
    }
    EXPECT_TRUE(untouched(buffer));
    EXPECT_EQ(s.d->pcm_pending, 1);
    EXPECT_EQ(s.d->source1.position, position);

    const decode_result rest = decode_to_end(s.d.get(), fixed_length(4096));
    EXPECT_EQ(rest.fault, "");
    pcm.insert(pcm.end(), rest.pcm.begin(), rest.pcm.end());
    EXPECT_TRUE(pcm == reference_pcm("stereo44.ogg"));
}

// --- Batches and the pending drain -----------------------------------------

struct call_record {
    std::int32_t returned;
    std::int32_t pending_after;
    std::uint32_t bytes_read;  // by the refill step during the call
    std::int32_t at_end_after;
};

// Decodes to the end with one length, recording every call.
std::vector<call_record> record_calls(qdx_ogg_decoder *d, std::int32_t length,
                                      std::vector<std::uint8_t> *pcm, std::string *fault) {
    std::vector<call_record> calls;
    while (!qdx_ogg_eof(d) && fault->empty()) {
        if (calls.size() == 1000000) {
            *fault = "no end of input";
            break;
        }
        const std::uint32_t before = d->source1.position;
        const std::int32_t got = checked_call(d, length, pcm, fault);
        calls.push_back({got, d->pcm_pending, d->source1.position - before, d->source1.at_end});
    }
    return calls;
}

// Length 2: every call that reaches PCM converts one whole batch of the
// frames that are ready and leaves the rest pending. A batch is at most
// 8192 / channels frames: 16384 bytes for stereo, and for six channels 1365
// frames, 16380 bytes, never a split frame. (The PCM itself is checked at
// length 2 against ov_read in reference_check_test.)
TEST(Batches, LengthTwoWritesOneWholeBatch) {
    struct batch_limit {
        const char *file;
        std::int32_t frame_bytes;
        std::int32_t most_bytes;
    };
    for (const batch_limit &c :
         {batch_limit{"stereo44.ogg", 4, 16384}, batch_limit{"six48.ogg", 12, 16380}}) {
        started_stream s(c.file);
        ASSERT_EQ(s.started, 0);
        std::vector<std::uint8_t> pcm;
        std::string fault;
        for (const call_record &call : record_calls(s.d.get(), 2, &pcm, &fault)) {
            EXPECT_LE(call.returned, c.most_bytes) << c.file;
            EXPECT_EQ(call.returned % c.frame_bytes, 0) << c.file;
            if (call.returned > 0) {
                EXPECT_EQ(call.pending_after, 1) << c.file;
            }
        }
        EXPECT_EQ(fault, "");
        EXPECT_TRUE(qdx_ogg_eof(s.d.get()));
    }
}

// A length of exactly one batch is reached by that batch: the call returns
// it and leaves the rest of the ready frames to the next call. The batch is
// shrunk to 100 frames so that a block holds several.
TEST(Batches, LengthOfExactlyOneBatchReturnsOneBatch) {
    started_stream s("stereo44.ogg");
    ASSERT_EQ(s.started, 0);
    s.d->batch_samples = 100;
    const std::int32_t batch_bytes = 100 * 2 * 2;
    std::vector<std::uint8_t> pcm;
    std::string fault;
    int calls_with_two_batches_ready = 0;
    while (!qdx_ogg_eof(s.d.get()) && fault.empty()) {
        const int ready = vorbis_synthesis_pcmout(&s.d->dsp, nullptr);
        const bool two_batches_pending = s.d->pcm_pending == 1 && ready >= 200;
        const std::int32_t got = checked_call(s.d.get(), batch_bytes, &pcm, &fault);
        if (!two_batches_pending) continue;
        ++calls_with_two_batches_ready;
        ASSERT_EQ(got, batch_bytes);
        EXPECT_EQ(s.d->pcm_pending, 1);
        EXPECT_EQ(vorbis_synthesis_pcmout(&s.d->dsp, nullptr), ready - 100);
    }
    EXPECT_EQ(fault, "");
    EXPECT_GT(calls_with_two_batches_ready, 0);
}

// Real streams rarely hold more frames than one batch, so the batch is
// shrunk here to split every block into many batches, and blocks across
// calls, at lengths that end calls both inside and between blocks.
TEST(Batches, BlocksSplitIntoManyBatchesStayExact) {
    struct split {
        const char *file;
        std::int32_t batch_samples;
        std::int32_t length;
    };
    // Every frame a batch of its own; many batches per call; many calls per
    // batch.
    for (const split &c : {split{"stereo44.ogg", 1, 1001}, split{"three.ogg", 100, 1001},
                           split{"six48.ogg", 100, 2}}) {
        started_stream s(c.file);
        ASSERT_EQ(s.started, 0);
        s.d->batch_samples = c.batch_samples;
        const std::int32_t batch_bytes = c.batch_samples * 2 * s.d->info.channels;
        std::vector<std::uint8_t> pcm;
        std::string fault;
        for (const call_record &call : record_calls(s.d.get(), c.length, &pcm, &fault)) {
            EXPECT_LT(call.returned, c.length + batch_bytes);
        }
        EXPECT_EQ(fault, "");
        EXPECT_TRUE(pcm == reference_pcm(c.file))
            << c.file << ", batch " << c.batch_samples << ", length " << c.length;
    }
}

// --- Input: one chunk per call at most -------------------------------------

TEST(InputPerCall, NoCallReadsMoreThanOneChunk) {
    for (std::int32_t length : {2, 65536}) {
        started_stream s("sample.ogg");
        ASSERT_EQ(s.started, 0);
        std::vector<std::uint8_t> pcm;
        std::string fault;
        int refilled = 0;
        for (const call_record &c : record_calls(s.d.get(), length, &pcm, &fault)) {
            EXPECT_LE(c.bytes_read, 8192u);
            if (c.bytes_read > 0) ++refilled;
        }
        EXPECT_EQ(fault, "");
        // 8192 bytes came in with the headers, the rest one chunk per refill.
        EXPECT_EQ(refilled, static_cast<int>((s.ogg.size() - 8192 + 8191) / 8192));
    }
}

// --- The end of the stream -------------------------------------------------

// eof turns 1 only once every byte of PCM has been handed out, whatever
// the length: never while PCM is still pending.
TEST(EndOfStream, EofOnlyAfterTheLastPcm) {
    struct run {
        const char *file;
        std::int32_t length;
    };
    // Short streams end within the first chunk; chained.ogg has a second
    // link after its end-of-stream page; badcrc_audio.ogg loses a page.
    for (const run &c :
         {run{"stereo44.ogg", 2}, run{"stereo44.ogg", 65536}, run{"short.ogg", 2},
          run{"short.ogg", 65536}, run{"chained.ogg", 4096}, run{"badcrc_audio.ogg", 777}}) {
        started_stream s(c.file);
        ASSERT_EQ(s.started, 0);
        std::vector<std::uint8_t> pcm;
        std::string fault;
        for (int calls = 0; fault.empty() && calls < 100000; ++calls) {
            checked_call(s.d.get(), c.length, &pcm, &fault);
            if (qdx_ogg_eof(s.d.get())) break;
        }
        EXPECT_EQ(fault, "");
        EXPECT_EQ(qdx_ogg_eof(s.d.get()), 1);
        EXPECT_EQ(pcm.size(), reference_pcm(c.file).size())
            << c.file << ", length " << c.length << ": eof before the last PCM";
    }
}

// The call that passes the end-of-stream page returns without refilling;
// the next call that finds no page refills, and that refill ends the
// source. Large calls, from the page layouts: short.ogg (3834 bytes) comes
// whole with the headers and ends on its third page. chained.ogg's first
// link ends on a page that reaches past the first chunk (byte 8193), so the
// first call only refills; its second link's pages (from byte 10602) are
// refused, and the end-of-stream page among them ends one more call.
TEST(EndOfStream, TheEndOfStreamPageEndsTheCallBeforeAnyRefill) {
    struct ending {
        const char *file;
        std::vector<std::tuple<bool, std::uint32_t, std::int32_t>> calls;  // PCM?, read, at_end
    };
    for (const ending &c : {ending{"short.ogg", {{true, 0, 0}, {false, 0, 1}}},
                            ending{"chained.ogg",
                                   {{false, 15221 - 8192, 0}, {true, 0, 0}, {false, 0, 0},
                                    {false, 0, 1}}}}) {
        started_stream s(c.file);
        ASSERT_EQ(s.started, 0);
        std::vector<std::uint8_t> pcm;
        std::string fault;
        std::vector<std::tuple<bool, std::uint32_t, std::int32_t>> calls;
        for (const call_record &call : record_calls(s.d.get(), 1 << 20, &pcm, &fault)) {
            calls.emplace_back(call.returned > 0, call.bytes_read, call.at_end_after);
        }
        EXPECT_EQ(fault, "");
        EXPECT_EQ(calls, c.calls) << c.file;
        EXPECT_TRUE(pcm == reference_pcm(c.file)) << c.file;
    }
}

TEST(EndOfStream, CallsAfterTheEndReturnZero) {
    started_stream s("mono44.ogg");
    ASSERT_EQ(s.started, 0);
    const decode_result all = decode_to_end(s.d.get(), fixed_length(4096));
    ASSERT_TRUE(all.reached_eof);
    for (int i = 0; i < 5; ++i) {
        std::vector<std::uint8_t> buffer(4096 + 16384, PATTERN);
        EXPECT_EQ(qdx_ogg_process_frame(s.d.get(), buffer.data(), 4096), 0);
        EXPECT_TRUE(untouched(buffer));
        EXPECT_EQ(qdx_ogg_eof(s.d.get()), 1);
    }
}

}  // namespace
