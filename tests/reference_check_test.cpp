// Every stream that starts decodes, from memory, to exactly the PCM of
// Tremor's own ov_read, whatever lengths the host asks for, without breaking
// the buffer contract and up to the end of input. Shared inputs that do not
// start are refused cleanly, and only where ov_open refuses them too.
//
// One test per file, each running its host lengths in turn: every test is a
// process of its own under ctest, and these also run under valgrind and an
// emulator.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core_helpers.h"
#include "support/host_loop.h"

namespace {

constexpr std::int32_t VARYING = 0;  // stands for varying_length()

// Small lengths reach the pending-drain path on every batch; odd ones split
// frames' worth of bytes unevenly; big ones let one call span many pages.
const std::vector<std::int32_t> ALL_LENGTHS = {2, 777, 4096, 65536, VARYING};
// Long streams take the paths above often enough with two lengths.
const std::vector<std::int32_t> FEW_LENGTHS = {777, VARYING};
constexpr std::size_t LONG_STREAM_BYTES = 60000;

std::string name_of(const testing::TestParamInfo<std::string> &info) {
    return info.param.empty() ? "shared_data_absent" : test_name_of(info.param);
}

std::vector<std::string> fixtures_that_start() {
    std::vector<std::string> paths;
    for (const char *name : {"mono44", "stereo44", "six48", "three", "mono22", "longcomment",
                             "short", "chained", "badcrc_audio", "sample", "intro", "loop"}) {
        paths.push_back(fixture_path(std::string(name) + ".ogg"));
    }
    return paths;
}

// Every file of a shared folder, or one empty path standing for its absence.
std::vector<std::string> shared_files(const std::string &subdir) {
    const std::string dir = shared_testdata_dir(subdir);
    if (dir.empty()) return {""};
    return ogg_files_in(dir);
}

void expect_reference_pcm(const std::vector<std::uint8_t> &ogg, const reference_result &want,
                          std::int32_t length) {
    SCOPED_TRACE(length == VARYING ? "varying lengths" : "length " + std::to_string(length));
    decoder_handle d = new_decoder();
    ASSERT_EQ(qdx_ogg_input_memory(d.get(), ogg.data(), size32(ogg), 0), 0);
    const decode_result got =
        decode_to_end(d.get(), length == VARYING ? varying_length() : fixed_length(length));
    EXPECT_EQ(got.fault, "");
    EXPECT_TRUE(got.reached_eof);
    EXPECT_EQ(got.pcm.size(), want.pcm.size());
    EXPECT_TRUE(got.pcm == want.pcm) << "PCM differs from ov_read";
}

void expect_reference_pcm_at_every_length(const std::string &path) {
    const std::vector<std::uint8_t> ogg = read_bytes(path);
    const reference_result &want = reference_for(path);
    ASSERT_TRUE(want.opened);
    for (std::int32_t length : ogg.size() > LONG_STREAM_BYTES ? FEW_LENGTHS : ALL_LENGTHS) {
        expect_reference_pcm(ogg, want, length);
    }
}

// A refused input: Tremor refuses it too, and decoding calls on the record
// return 0 without writing.
void expect_clean_refusal(const std::string &path, qdx_ogg_decoder *d) {
    EXPECT_FALSE(reference_for(path).opened) << "refused, yet ov_open accepts it";
    std::vector<std::uint8_t> pcm;
    std::string fault;
    EXPECT_EQ(checked_call(d, 4096, &pcm, &fault), 0);
    EXPECT_EQ(fault, "");
}

class FixtureReference : public testing::TestWithParam<std::string> {};

TEST_P(FixtureReference, MatchesOvRead) { expect_reference_pcm_at_every_length(GetParam()); }

INSTANTIATE_TEST_SUITE_P(Fixtures, FixtureReference, testing::ValuesIn(fixtures_that_start()),
                         name_of);

// Third-party vectors: the valid ones, and inputs that broke other decoders.
class SharedReference : public testing::TestWithParam<std::string> {};

TEST_P(SharedReference, MatchesOvReadOrIsRefused) {
    const std::string &path = GetParam();
    if (path.empty()) {
        GTEST_SKIP() << "the third-party vectors are absent (configure with "
                        "-DVELMORA_SHARED_TESTDATA=DIR): shared inputs not checked";
    }
    const std::vector<std::uint8_t> ogg = read_bytes(path);
    decoder_handle d = new_decoder();
    if (qdx_ogg_input_memory(d.get(), ogg.data(), size32(ogg), 0) != 0) {
        expect_clean_refusal(path, d.get());
        return;
    }
    expect_reference_pcm_at_every_length(path);
}

INSTANTIATE_TEST_SUITE_P(VorbisVectors, SharedReference,
                         testing::ValuesIn(shared_files("vorbis-vectors")), name_of);
INSTANTIATE_TEST_SUITE_P(MalformedVorbis, SharedReference,
                         testing::ValuesIn(shared_files("malformed-vorbis")), name_of);

// The setup header of this file shares its page with the first audio
// packets; they must be decoded, not dropped with the header page.
TEST(AudioAfterSetupHeader, SharedPageIsDecoded) {
    const std::string dir = shared_testdata_dir("malformed-vorbis");
    if (dir.empty()) {
        GTEST_SKIP() << "the third-party vectors are absent (configure with -DVELMORA_SHARED_TESTDATA=DIR)";
    }
    const std::string path = dir + "/lewton-bug-42-sample016.ogg";
    const std::vector<std::uint8_t> ogg = read_bytes(path);
    decoder_handle d = new_decoder();
    ASSERT_EQ(qdx_ogg_input_memory(d.get(), ogg.data(), size32(ogg), 0), 0);
    const decode_result got = decode_to_end(d.get(), fixed_length(4096));
    EXPECT_EQ(got.fault, "");
    const reference_result &want = reference_for(path);
    ASSERT_EQ(want.pcm.size(), 1152u);
    EXPECT_TRUE(got.pcm == want.pcm);
}

}  // namespace
