// Replay: one source restarted, two sources switched to the second for good,
// from the end, the middle of a stream or the middle of a drain; replay and
// input refused on a suspended decoder; a restart that fails.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/decoder.h"
#include "support/expect_decode.h"
#include "support/host_loop.h"
#include "support/source_kinds.h"
#include "support/test_data.h"

namespace {

bool drain_pending(const qdx_ogg_decoder &d) { return d.pcm_pending == 1; }

std::string kind_test_name(const ::testing::TestParamInfo<source_kind> &info) {
    return source_kind_name(info.param);
}

class replay : public ::testing::TestWithParam<source_kind> {
protected:
    decoder_ptr d = new_decoder();
    std::int32_t attach(const std::string &fixture) {
        return attach_one(d.get(), GetParam(), fixture_path(fixture));
    }
    std::int32_t attach(const std::string &first, const std::string &second) {
        return attach_two(d.get(), GetParam(), fixture_path(first), fixture_path(second));
    }
};

// --- From the end of the stream ----------------------------------------------

TEST_P(replay, IntroOnceThenTheLoopOnEveryReplay) {
    ASSERT_EQ(attach("intro.ogg", "loop.ogg"), 0);
    std::vector<std::uint8_t> heard = decode_all(d.get());
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(qdx_ogg_replay(d.get()), 0);
        EXPECT_EQ(qdx_ogg_eof(d.get()), 0);
        const std::vector<std::uint8_t> again = decode_all(d.get(), fixed_length(4096 + i));
        heard.insert(heard.end(), again.begin(), again.end());
    }
    EXPECT_EQ(heard, joined({reference_pcm("intro.ogg"), reference_pcm("loop.ogg"),
                             reference_pcm("loop.ogg")}));
}

TEST_P(replay, OneSourceRestartsFromItsBeginning) {
    ASSERT_EQ(attach("stereo44.ogg"), 0);
    const std::vector<std::uint8_t> first = decode_all(d.get());
    ASSERT_EQ(qdx_ogg_replay(d.get()), 0);
    EXPECT_EQ(first, reference_pcm("stereo44.ogg"));
    EXPECT_EQ(decode_all(d.get()), reference_pcm("stereo44.ogg"));
}

TEST_P(replay, SecondStreamOfAnotherFormatChangesTheFormatRecordAtTheFirstReplay) {
    ASSERT_EQ(attach("stereo44.ogg", "mono22.ogg"), 0);
    const qdx_ogg_wave_format *format = qdx_ogg_pcm_format(d.get());
    EXPECT_EQ(format->nChannels, 2);
    EXPECT_EQ(format->nSamplesPerSec, 44100u);
    EXPECT_EQ(decode_all(d.get()), reference_pcm("stereo44.ogg"));
    // Before the first replay the end is source1's: source2 was never read.
    EXPECT_EQ(d->source2.at_end, 0);

    ASSERT_EQ(qdx_ogg_replay(d.get()), 0);
    EXPECT_EQ(qdx_ogg_pcm_format(d.get()), format);
    EXPECT_EQ(format->nChannels, 1);
    EXPECT_EQ(format->nSamplesPerSec, 22050u);
    EXPECT_EQ(format->nBlockAlign, 2);
    EXPECT_EQ(format->nAvgBytesPerSec, 44100u);
    // From the first replay on the end is source2's, although source1 ended.
    EXPECT_EQ(d->source1.at_end, 1);
    EXPECT_EQ(qdx_ogg_eof(d.get()), 0);
    EXPECT_EQ(decode_all(d.get()), reference_pcm("mono22.ogg"));
    EXPECT_EQ(d->source2.at_end, 1);
}

// --- From the middle ----------------------------------------------------------------

TEST_P(replay, InTheMiddleOfAPendingDrainStartsOverWithNothingLeftOver) {
    ASSERT_EQ(attach("stereo44.ogg"), 0);
    decode_until(d.get(), 3, drain_pending);
    ASSERT_EQ(qdx_ogg_replay(d.get()), 0);
    EXPECT_EQ(d->pcm_pending, 0);
    EXPECT_EQ(decode_all(d.get()), reference_pcm("stereo44.ogg"));
}

TEST_P(replay, InTheMiddleOfTheStreamBetweenRefillsStartsOver) {
    ASSERT_EQ(attach("stereo44.ogg"), 0);
    // Past the first chunks, on a call that stopped to refill.
    decode_until(d.get(), 1 << 20, [](const qdx_ogg_decoder &r) {
        return r.source1.position - r.source1.start >= 3 * REFILL_CHUNK && r.pcm_pending == 0;
    });
    ASSERT_EQ(qdx_ogg_replay(d.get()), 0);
    EXPECT_EQ(decode_all(d.get()), reference_pcm("stereo44.ogg"));
}

TEST_P(replay, InTheMiddleOfEitherSourceRestartsTheSecond) {
    ASSERT_EQ(attach("intro.ogg", "loop.ogg"), 0);
    decode_until(d.get(), 1001, drain_pending);
    ASSERT_EQ(qdx_ogg_replay(d.get()), 0);
    decode_until(d.get(), 1001, drain_pending);
    ASSERT_EQ(qdx_ogg_replay(d.get()), 0);
    EXPECT_EQ(decode_all(d.get()), reference_pcm("loop.ogg"));
}

// --- A stream that begins at an offset ------------------------------------------

class replay_at_offset : public ::testing::TestWithParam<source_kind> {};

TEST_P(replay_at_offset, RewindsToTheStartOffsetNotTheFileBeginning) {
    const std::string path = fixture_path("embedded.bin");
    auto d = new_decoder();
    const std::int32_t started =
        GetParam() == source_kind::read_file
            ? qdx_ogg_input_file_open(d.get(), path.c_str(), 4321, 25650)
            : qdx_ogg_input_file_map(d.get(), path.c_str(), 4321, 4321 + 25650);
    ASSERT_EQ(started, 0);
    decode_until(d.get(), 777, drain_pending);
    ASSERT_EQ(qdx_ogg_replay(d.get()), 0);
    EXPECT_EQ(decode_all(d.get()), reference_pcm("mono44.ogg"));
    ASSERT_EQ(qdx_ogg_replay(d.get()), 0);
    EXPECT_EQ(decode_all(d.get()), reference_pcm("mono44.ogg"));
}

// --- Refused while suspended --------------------------------------------------------

std::vector<std::uint8_t> record_bytes(const qdx_ogg_decoder &d) {
    const auto *p = reinterpret_cast<const std::uint8_t *>(&d);
    return std::vector<std::uint8_t>(p, p + sizeof d);
}

TEST_P(replay, OnASuspendedDecoderIsRefusedAndChangesNothing) {
    ASSERT_EQ(attach("intro.ogg", "loop.ogg"), 0);
    std::vector<std::uint8_t> heard = decode_until(d.get(), 999, drain_pending);
    ASSERT_EQ(qdx_ogg_suspend(d.get()), 0);
    const std::vector<std::uint8_t> before = record_bytes(*d);
    EXPECT_EQ(qdx_ogg_replay(d.get()), -2);
    EXPECT_EQ(record_bytes(*d), before);
    ASSERT_EQ(qdx_ogg_resume(d.get()), 0);
    // Still the intro, at the same sample.
    const std::vector<std::uint8_t> rest = decode_all(d.get());
    EXPECT_EQ(joined({heard, rest}), reference_pcm("intro.ogg"));
}

TEST_P(replay, InputOnASuspendedDecoderIsRefusedAndChangesNothing) {
    ASSERT_EQ(attach("intro.ogg"), 0);
    std::vector<std::uint8_t> heard = decode_until(d.get(), 999, drain_pending);
    ASSERT_EQ(qdx_ogg_suspend(d.get()), 0);
    const std::vector<std::uint8_t> before = record_bytes(*d);
    const std::string loop = fixture_path("loop.ogg");
    const std::vector<std::uint8_t> bytes = read_bytes(loop);
    const auto size = static_cast<std::uint32_t>(bytes.size());
    qdx_ogg_decoder *s = d.get();
    EXPECT_EQ(qdx_ogg_input_memory(s, bytes.data(), size, 0), 1);
    EXPECT_EQ(qdx_ogg_input_memory2(s, bytes.data(), size, bytes.data(), size, 0), 1);
    EXPECT_EQ(qdx_ogg_input_file_open(s, loop.c_str(), 0, 0), 1);
    EXPECT_EQ(qdx_ogg_input_file_open2(s, loop.c_str(), 0, 0, loop.c_str(), 0, 0), 1);
    EXPECT_EQ(qdx_ogg_input_file_map(s, loop.c_str(), 0, 0), 1);
    EXPECT_EQ(qdx_ogg_input_file_map2(s, loop.c_str(), 0, 0, loop.c_str(), 0, 0), 1);
    EXPECT_EQ(record_bytes(*d), before);
    ASSERT_EQ(qdx_ogg_resume(d.get()), 0);
    const std::vector<std::uint8_t> rest = decode_all(d.get());
    EXPECT_EQ(joined({heard, rest}), reference_pcm("intro.ogg"));
}

// --- A restart that fails ----------------------------------------------------------

TEST_P(replay, ToASecondSourceThatIsNotVorbisLeavesADecoderThatWritesNothing) {
    ASSERT_EQ(attach("short.ogg", "notvorbis.ogg"), 0);
    EXPECT_EQ(decode_all(d.get()), reference_pcm("short.ogg"));
    EXPECT_EQ(qdx_ogg_replay(d.get()), 1);
    EXPECT_EQ(d->headers_ready, 0);
    std::vector<std::uint8_t> pcm;
    std::string fault;
    for (std::int32_t length : {1, 4096, 65536}) {
        EXPECT_EQ(checked_call(d.get(), length, &pcm, &fault), 0);
        EXPECT_EQ(fault, "");
    }
    // Replaying again fails the same way, and suspend and resume still work.
    EXPECT_EQ(qdx_ogg_replay(d.get()), 1);
    EXPECT_EQ(qdx_ogg_suspend(d.get()), 0);
    EXPECT_EQ(qdx_ogg_resume(d.get()), 0);
    EXPECT_EQ(checked_call(d.get(), 4096, &pcm, &fault), 0);
}

// A host that plays an intro and then loops replays at every end of input
// and stops only when replay reports that the restart failed: a second
// source that is not a playable stream (an Ogg stream not Vorbis, a WAV file,
// a setup header cut short) must be reported, or that host spins for ever.
TEST_P(replay, ALoopThatCannotStartIsReportedSoTheReplayingHostStops) {
    for (const char *loop : {"notvorbis.ogg", "plain.wav", "truncated_setup.ogg"}) {
        SCOPED_TRACE(loop);
        ASSERT_EQ(attach("short.ogg", loop), 0);
        int replays = 0;
        for (int call = 0; call < 100000; ++call) {
            if (qdx_ogg_eof(d.get())) {
                if (qdx_ogg_replay(d.get()) != 0) break;
                ++replays;
            }
            std::vector<std::uint8_t> pcm;
            std::string fault;
            checked_call(d.get(), 4096, &pcm, &fault);
            ASSERT_EQ(fault, "");
        }
        EXPECT_EQ(replays, 0);
        EXPECT_EQ(qdx_ogg_eof(d.get()), 1);
    }
}

INSTANTIATE_TEST_SUITE_P(, replay, ::testing::ValuesIn(every_source_kind), kind_test_name);
INSTANTIATE_TEST_SUITE_P(, replay_at_offset, ::testing::ValuesIn(file_source_kinds),
                         kind_test_name);

}  // namespace
