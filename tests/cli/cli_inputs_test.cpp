// The three input kinds and the byte range options: a stream stored inside
// a larger file decodes, through memory, read and mapped input alike, to
// the PCM of the same stream on its own; a chained file decodes stream
// after stream.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "expected_pcm.h"
#include "support/test_data.h"
#include "tool_run.h"

namespace {

// embedded.bin: junk, then mono44.ogg at bytes 4321..29970, then junk.
class cli_inputs : public ::testing::TestWithParam<const char *> {
protected:
    std::string decode_raw(std::vector<std::string> args) const {
        args.insert(args.end(), {"--input", GetParam(), "--raw", "-o", "-"});
        const tool_outcome run = run_tool(args);
        EXPECT_EQ(run.exit_code, 0) << run.err;
        return run.out;
    }
};

TEST_P(cli_inputs, whole_file) {
    EXPECT_TRUE(decode_raw({fixture_path("stereo44.ogg")}) == reference_pcm("stereo44.ogg"));
}

// --length counts from --start; --end is absolute. The tool translates
// them for each kind: the read family takes a length, the mapped an end.
TEST_P(cli_inputs, stream_inside_a_larger_file) {
    const std::string expected = reference_pcm("mono44.ogg");
    const std::string container = fixture_path("embedded.bin");
    EXPECT_TRUE(decode_raw({container, "--start", "4321", "--length", "25650"}) == expected) << "--length";
    EXPECT_TRUE(decode_raw({container, "--start", "4321", "--end", "29971"}) == expected) << "--end";
    EXPECT_TRUE(decode_raw({container, "--start", "0x10e1", "--end", "29971"}) == expected) << "hex offset";
    // Up to the end of the file: the junk after the stream is passed over.
    EXPECT_TRUE(decode_raw({container, "--start", "4321"}) == expected) << "to the end of the file";
}

// A range that stops inside the stream ends the PCM early, cleanly.
TEST_P(cli_inputs, range_cut_short_decodes_what_it_holds) {
    const std::string expected = reference_pcm("mono44.ogg");
    const std::string pcm = decode_raw({fixture_path("embedded.bin"), "--start", "4321", "--length", "15000"});
    EXPECT_GT(pcm.size(), 0u);
    EXPECT_LT(pcm.size(), expected.size());
    EXPECT_TRUE(expected.compare(0, pcm.size(), pcm) == 0) << "a cut stream must decode as the start of the whole";
}

// cat a.ogg b.ogg a.ogg: every stream of the chain in order, each attached
// at the offset where it begins, as oggdec decodes it.
TEST_P(cli_inputs, chained_file_decodes_every_stream_in_order) {
    const scratch_dir dir;
    const std::vector<std::uint8_t> intro = read_bytes(fixture_path("intro.ogg"));
    const std::vector<std::uint8_t> loop = read_bytes(fixture_path("loop.ogg"));
    std::vector<std::uint8_t> chain = intro;
    chain.insert(chain.end(), loop.begin(), loop.end());
    chain.insert(chain.end(), intro.begin(), intro.end());
    write_bytes(dir.file("chain.ogg"), chain);
    const std::string intro_pcm = reference_pcm("intro.ogg");
    EXPECT_TRUE(decode_raw({dir.file("chain.ogg")}) == intro_pcm + reference_pcm("loop.ogg") + intro_pcm);
}

INSTANTIATE_TEST_SUITE_P(kinds, cli_inputs, ::testing::Values("memory", "read", "mapped"),
                         [](const auto &info) { return std::string(info.param); });

}  // namespace
