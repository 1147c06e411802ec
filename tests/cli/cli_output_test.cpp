// What velmora-decode writes: a well-formed WAV whose header matches the
// stream and whose PCM is Tremor's own decode bit for bit (in WAV channel
// order), the same through every output path (file, standard output, bare
// PCM) and host length.
#include <gtest/gtest.h>

#include "expected_pcm.h"
#include "support/test_data.h"
#include "tool_run.h"
#include "wav_file.h"
#include "wav_order.h"

namespace {

class cli_output : public ::testing::TestWithParam<const char *> {};

TEST_P(cli_output, wav_header_describes_the_stream_and_pcm_matches_reference) {
    const scratch_dir dir;
    const std::string wav_path = dir.file("out.wav");
    const tool_outcome run = run_tool({fixture_path(GetParam()), "-o", wav_path});
    ASSERT_EQ(run.exit_code, 0) << run.err;

    const wav_file wav = parse_wav(file_text(wav_path));
    ASSERT_EQ(wav.error, "");
    const reference_result expected = reference_of(GetParam());
    const bool masked = expected_channel_mask(expected.channels) != 0;
    EXPECT_EQ(wav.format_tag, masked ? 0xFFFE : 1);
    EXPECT_EQ(wav.channels, expected.channels);
    EXPECT_EQ(wav.rate, static_cast<std::uint32_t>(expected.rate));
    EXPECT_EQ(wav.bits, 16);
    EXPECT_EQ(wav.block_align, expected.channels * 2);
    EXPECT_EQ(wav.byte_rate, wav.block_align * wav.rate);
    EXPECT_EQ(wav.data.size(), expected.pcm.size());
    const std::string vorbis_order(expected.pcm.begin(), expected.pcm.end());
    EXPECT_TRUE(std::string(wav.data.begin(), wav.data.end()) == in_wav_order(vorbis_order, expected.channels))
        << "PCM differs from the reference decode";
}

// Damaged audio pages decode like Tremor; a tiny stream fits in one read;
// headers spread over many reads.
INSTANTIATE_TEST_SUITE_P(fixtures, cli_output,
                         ::testing::Values("mono44.ogg", "stereo44.ogg", "six48.ogg", "three.ogg", "mono22.ogg",
                                           "short.ogg", "longcomment.ogg", "badcrc_audio.ogg", "sample.ogg"),
                         [](const auto &info) {
                             std::string name = info.param;
                             return name.substr(0, name.find('.'));
                         });

TEST(cli_output_paths, standard_output_raw_and_host_lengths_give_the_same_bytes) {
    const scratch_dir dir;
    const std::string input = fixture_path("stereo44.ogg");
    const std::string wav_path = dir.file("out.wav");
    ASSERT_EQ(run_tool({input, "-o", wav_path}).exit_code, 0);
    const std::string file_bytes = file_text(wav_path);

    const tool_outcome piped = run_tool({input, "-o", "-"});
    ASSERT_EQ(piped.exit_code, 0) << piped.err;
    EXPECT_TRUE(piped.out == file_bytes) << "-o - differs from the file";

    const tool_outcome raw = run_tool({input, "--raw", "-o", "-"});
    ASSERT_EQ(raw.exit_code, 0) << raw.err;
    EXPECT_TRUE(raw.out == file_bytes.substr(44)) << "--raw differs from the WAV's data";

    for (const char *chunk : {"1", "4097", "1048576"}) {
        const std::string path = dir.file(std::string("chunk") + chunk + ".wav");
        ASSERT_EQ(run_tool({input, "--chunk", chunk, "-o", path}).exit_code, 0);
        EXPECT_TRUE(file_text(path) == file_bytes) << "--chunk " << chunk;
    }
}

TEST(cli_output_paths, raw_file_holds_the_bare_pcm) {
    const scratch_dir dir;
    const std::string path = dir.file("out.pcm");
    ASSERT_EQ(run_tool({fixture_path("three.ogg"), "--raw", "-o", path}).exit_code, 0);
    EXPECT_TRUE(file_text(path) == reference_pcm("three.ogg"));
}

TEST(cli_output_paths, an_existing_output_is_replaced_and_only_it_appears) {
    const scratch_dir dir;
    const std::string path = dir.file("out.wav");
    write_bytes(path, std::vector<std::uint8_t>(1000000, 0x55));
    ASSERT_EQ(run_tool({fixture_path("short.ogg"), "-o", path}).exit_code, 0);
    EXPECT_EQ(parse_wav(file_text(path)).error, "");
    EXPECT_EQ(folder_entries(dir.path()), std::vector<std::string>{"out.wav"});
}

// The summary goes to standard output unless PCM goes there.
TEST(cli_messages, summary_names_format_duration_speed_and_input_kind) {
    const scratch_dir dir;
    const tool_outcome run = run_tool({fixture_path("mono44.ogg"), "--input", "mapped", "-o", dir.file("a.wav")});
    ASSERT_EQ(run.exit_code, 0);
    for (const char *part : {"1 channel, 44100 Hz, 16 bits", "3.000 s", "realtime", "mapped"}) {
        EXPECT_NE(run.out.find(part), std::string::npos) << part << " missing from:\n" << run.out;
    }
    EXPECT_EQ(run.err, "");

    const tool_outcome piped = run_tool({fixture_path("mono44.ogg"), "-o", "-"});
    EXPECT_EQ(piped.out.compare(0, 4, "RIFF"), 0);
    EXPECT_NE(piped.err.find("3.000 s"), std::string::npos) << piped.err;

    const tool_outcome quiet = run_tool({fixture_path("mono44.ogg"), "-q", "-o", dir.file("b.wav")});
    EXPECT_EQ(quiet.out + quiet.err, "");
}

TEST(cli_messages, version_prints_the_library_banner_and_help_the_exit_codes) {
    const tool_outcome version = run_tool({"--version"});
    EXPECT_EQ(version.exit_code, 0);
    EXPECT_NE(version.out.find("ver.1.10(2008/10/24)"), std::string::npos) << version.out;

    const tool_outcome help = run_tool({"--help"});
    EXPECT_EQ(help.exit_code, 0);
    for (const char *part : {"--input", "--loops", "Exit status", "  2  bad arguments", "  4  the output"}) {
        EXPECT_NE(help.out.find(part), std::string::npos) << part;
    }
}

}  // namespace
