// Channel order in what velmora-decode writes: 3 to 8 channels make a
// WAVE_FORMAT_EXTENSIBLE file whose mask names the speakers and whose
// frames follow the mask, while --raw keeps the decoder's Vorbis order and
// stereo keeps the plain 16-byte fmt chunk.
#include <gtest/gtest.h>

#include <ostream>

#include "expected_pcm.h"
#include "support/test_data.h"
#include "tool_run.h"
#include "wav_file.h"
#include "wav_order.h"

namespace {

const std::string ksdataformat_subtype_pcm("\x01\x00\x00\x00\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71", 16);

struct layout_case {
    const char *fixture;
    unsigned channels;
    std::uint32_t mask;
};

// Names the case in test listings by its fixture.
void PrintTo(const layout_case &c, std::ostream *out) { *out << c.fixture; }

class cli_channel_order : public ::testing::TestWithParam<layout_case> {};

TEST_P(cli_channel_order, extensible_header_names_the_speakers) {
    const scratch_dir dir;
    const std::string path = dir.file("out.wav");
    ASSERT_EQ(run_tool({fixture_path(GetParam().fixture), "-o", path}).exit_code, 0);
    const wav_file wav = parse_wav(file_text(path));
    ASSERT_EQ(wav.error, "");
    EXPECT_EQ(wav.format_tag, 0xFFFE);
    EXPECT_EQ(wav.channels, GetParam().channels);
    EXPECT_EQ(wav.fmt_bytes, 40u);
    EXPECT_EQ(wav.extension_bytes, 22);
    EXPECT_EQ(wav.valid_bits, 16);
    EXPECT_EQ(wav.channel_mask, GetParam().mask);
    EXPECT_EQ(expected_channel_mask(GetParam().channels), GetParam().mask);
    EXPECT_TRUE(wav.subformat == ksdataformat_subtype_pcm) << "subformat is not KSDATAFORMAT_SUBTYPE_PCM";
}

// The data chunk is the reference decode, and equally --raw's output, with
// each frame permuted; frames split across decoder calls (--chunk 1) too.
TEST_P(cli_channel_order, data_is_the_vorbis_pcm_permuted_per_frame) {
    const scratch_dir dir;
    const std::string input = fixture_path(GetParam().fixture);
    const std::string vorbis = reference_pcm(GetParam().fixture);
    const tool_outcome raw = run_tool({input, "--raw", "-o", "-"});
    ASSERT_EQ(raw.exit_code, 0) << raw.err;
    EXPECT_TRUE(raw.out == vorbis) << "--raw is not in Vorbis order";

    const std::string wanted = in_wav_order(vorbis, GetParam().channels);
    ASSERT_NE(wanted, vorbis);
    for (const char *chunk : {"16384", "1", "4097"}) {
        const std::string path = dir.file(std::string("chunk") + chunk + ".wav");
        ASSERT_EQ(run_tool({input, "--chunk", chunk, "-o", path}).exit_code, 0);
        const wav_file wav = parse_wav(file_text(path));
        ASSERT_EQ(wav.error, "");
        EXPECT_TRUE(std::string(wav.data.begin(), wav.data.end()) == wanted) << "--chunk " << chunk;
    }
}

INSTANTIATE_TEST_SUITE_P(fixtures, cli_channel_order,
                         ::testing::Values(layout_case{"three.ogg", 3, 0x7}, layout_case{"six48.ogg", 6, 0x3F}),
                         [](const auto &info) {
                             std::string name = info.param.fixture;
                             return name.substr(0, name.find('.'));
                         });

// The permutation itself, frame by frame, for every count with a mask.
TEST(cli_channel_order_table, each_count_moves_vorbis_channels_into_mask_order) {
    const struct {
        unsigned channels;
        std::uint32_t mask;
        std::vector<int> wav_from_vorbis;
    } cases[] = {{3, 0x7, {0, 2, 1}},          {4, 0x33, {0, 1, 2, 3}},          {5, 0x37, {0, 2, 1, 3, 4}},
                 {6, 0x3F, {0, 2, 1, 5, 3, 4}}, {7, 0x70F, {0, 2, 1, 6, 5, 3, 4}}, {8, 0x63F, {0, 2, 1, 7, 5, 6, 3, 4}}};
    for (const auto &c : cases) {
        std::string frame, wanted;
        for (unsigned i = 0; i < c.channels; ++i) frame += {static_cast<char>(i), '\x7F'};
        for (const int from : c.wav_from_vorbis) wanted += {static_cast<char>(from), '\x7F'};
        EXPECT_EQ(expected_channel_mask(c.channels), c.mask) << c.channels;
        EXPECT_EQ(in_wav_order(frame + frame, c.channels), wanted + wanted) << c.channels;
    }
}

TEST(cli_channel_order_plain, stereo_keeps_the_16_byte_pcm_header_and_its_order) {
    const scratch_dir dir;
    const std::string path = dir.file("out.wav");
    ASSERT_EQ(run_tool({fixture_path("stereo44.ogg"), "-o", path}).exit_code, 0);
    const std::string bytes = file_text(path);
    const wav_file wav = parse_wav(bytes);
    ASSERT_EQ(wav.error, "");
    EXPECT_EQ(wav.format_tag, 1);
    EXPECT_EQ(wav.fmt_bytes, 16u);
    EXPECT_EQ(bytes.compare(36, 4, "data"), 0);
    EXPECT_TRUE(std::string(wav.data.begin(), wav.data.end()) == reference_pcm("stereo44.ogg"));
}

TEST(cli_channel_order_help, help_says_where_the_channels_go) {
    const tool_outcome help = run_tool({"--help"});
    EXPECT_EQ(help.exit_code, 0);
    for (const char *part : {"WAVE_FORMAT_EXTENSIBLE", "More than 8 channels", "--raw always writes the decoder's Vorbis order"}) {
        EXPECT_NE(help.out.find(part), std::string::npos) << part;
    }
}

}  // namespace
