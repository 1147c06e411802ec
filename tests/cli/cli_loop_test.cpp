// Looping: intro once, then the loop body N times, rendered through the
// decoder's two-source input and replay, must equal the parts decoded on
// their own laid end to end, and the joins must be seamless.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "expected_pcm.h"
#include "support/test_data.h"
#include "tool_run.h"
#include "wav_file.h"

namespace {

std::string repeat(const std::string &pcm, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += pcm;
    return out;
}

std::string decode_raw(std::vector<std::string> args) {
    args.insert(args.end(), {"--raw", "-o", "-"});
    const tool_outcome run = run_tool(args);
    EXPECT_EQ(run.exit_code, 0) << run.err;
    return run.out;
}

int sample_at(const std::string &pcm, std::size_t frame, int channel, int channels) {
    const std::size_t at = (frame * channels + channel) * 2;
    return static_cast<std::int16_t>(static_cast<std::uint8_t>(pcm[at]) | static_cast<std::uint8_t>(pcm[at + 1]) << 8);
}

// The largest sample-to-sample step of any channel within pcm.
int largest_step(const std::string &pcm, int channels) {
    const std::size_t frames = pcm.size() / (2 * channels);
    int largest = 0;
    for (std::size_t f = 1; f < frames; ++f) {
        for (int c = 0; c < channels; ++c) {
            largest = std::max(largest, std::abs(sample_at(pcm, f, c, channels) - sample_at(pcm, f - 1, c, channels)));
        }
    }
    return largest;
}

// The step of any channel between frame - 1 and frame.
int step_at(const std::string &pcm, std::size_t frame, int channels) {
    int step = 0;
    for (int c = 0; c < channels; ++c) {
        step = std::max(step, std::abs(sample_at(pcm, frame, c, channels) - sample_at(pcm, frame - 1, c, channels)));
    }
    return step;
}

class cli_loop : public ::testing::TestWithParam<const char *> {};

TEST_P(cli_loop, intro_then_three_loops_equals_the_parts_end_to_end) {
    const std::string pcm = decode_raw({"--input", GetParam(), "--intro", fixture_path("intro.ogg"), "--loop",
                                        fixture_path("loop.ogg"), "--loops", "3"});
    const std::string expected = reference_pcm("intro.ogg") + repeat(reference_pcm("loop.ogg"), 3);
    EXPECT_EQ(pcm.size(), expected.size());
    EXPECT_TRUE(pcm == expected) << "PCM differs from intro + 3 x loop";
}

TEST_P(cli_loop, single_input_replayed) {
    const std::string pcm = decode_raw({"--input", GetParam(), fixture_path("short.ogg"), "--loops", "2"});
    EXPECT_TRUE(pcm == repeat(reference_pcm("short.ogg"), 3));
}

INSTANTIATE_TEST_SUITE_P(kinds, cli_loop, ::testing::Values("memory", "read", "mapped"),
                         [](const auto &info) { return std::string(info.param); });

// No silence inserted at a join, and no click beyond what the streams
// contain: every step inside intro and loop, and the loop body's own wrap
// from its last frame to its first, which each loop-to-loop join crosses.
// (In loop.ogg the wrap is the largest of all, 1406 on the right channel
// against 1318 inside the streams; libvorbis's float decoder gives the same
// wrap, so it is in the encoded stream, not added by the decoder.)
TEST(cli_loop_joins, are_seamless) {
    const std::string intro = reference_pcm("intro.ogg");
    const std::string loop = reference_pcm("loop.ogg");
    const int channels = 2;
    const std::size_t frame_bytes = 2 * channels;
    const std::string pcm = decode_raw({"--intro", fixture_path("intro.ogg"), "--loop", fixture_path("loop.ogg"),
                                        "--loops", "3"});
    ASSERT_EQ(pcm.size(), intro.size() + 3 * loop.size()) << "the joins added or lost samples";
    const std::string wrap = loop.substr(loop.size() - frame_bytes) + loop.substr(0, frame_bytes);
    const int contained = std::max({largest_step(intro, channels), largest_step(loop, channels),
                                    step_at(wrap, 1, channels)});
    for (int join = 0; join < 3; ++join) {
        const std::size_t frame = (intro.size() + join * loop.size()) / frame_bytes;
        const int step = step_at(pcm, frame, channels);
        EXPECT_LE(step, contained) << "join " << join << " at frame " << frame;
        RecordProperty("join" + std::to_string(join) + "_step", step);
    }
    RecordProperty("largest_step_contained", contained);
}

TEST(cli_loop_joins, zero_loops_is_the_intro_alone_in_a_wav) {
    const scratch_dir dir;
    const std::string path = dir.file("intro.wav");
    const tool_outcome run = run_tool(
        {"--intro", fixture_path("intro.ogg"), "--loop", fixture_path("loop.ogg"), "--loops", "0", "-o", path});
    ASSERT_EQ(run.exit_code, 0) << run.err;
    const wav_file wav = parse_wav(file_text(path));
    EXPECT_EQ(wav.error, "");
    EXPECT_TRUE(wav.data == reference_of("intro.ogg").pcm);
}

}  // namespace
