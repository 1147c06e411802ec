// Every stream that starts decodes, from memory, to exactly the PCM of
// Tremor's own ov_read, whatever lengths the host asks for, without breaking
// the buffer contract and up to the end of input. Inputs that do not start
// are refused cleanly.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core_helpers.h"
#include "support/host_loop.h"

namespace {

constexpr std::int32_t VARYING = 0;  // stands for varying_length()

struct decode_case {
    std::string path;  // empty: the shared folder is absent
    std::int32_t length;
};

void PrintTo(const decode_case &c, std::ostream *os) { *os << c.path << " @" << c.length; }

std::string case_name(const testing::TestParamInfo<decode_case> &info) {
    if (info.param.path.empty()) return "shared_data_absent";
    const std::string length =
        info.param.length == VARYING ? "varying" : "len" + std::to_string(info.param.length);
    return test_name_of(info.param.path) + "_" + length;
}

// Small lengths reach the pending-drain path on every batch; odd ones split
// frames' worth of bytes unevenly; big ones let one call span many pages.
const std::vector<std::int32_t> ALL_LENGTHS = {2, 777, 4096, 65536, VARYING};
// Long streams take the paths above often enough with two lengths.
const std::vector<std::int32_t> FEW_LENGTHS = {777, VARYING};
constexpr std::size_t LONG_STREAM_BYTES = 60000;

std::vector<decode_case> cases_for(const std::vector<std::string> &paths) {
    std::vector<decode_case> cases;
    for (const std::string &path : paths) {
        const bool long_stream = read_bytes(path).size() > LONG_STREAM_BYTES;
        for (std::int32_t length : long_stream ? FEW_LENGTHS : ALL_LENGTHS)
            cases.push_back({path, length});
    }
    return cases;
}

std::vector<decode_case> fixture_cases() {
    std::vector<std::string> paths;
    for (const char *name : {"mono44", "stereo44", "six48", "three", "mono22", "longcomment",
                             "short", "chained", "badcrc_audio", "sample", "intro", "loop"}) {
        paths.push_back(fixture_path(std::string(name) + ".ogg"));
    }
    return cases_for(paths);
}

bool starts(const std::string &path) {
    const std::vector<std::uint8_t> ogg = read_bytes(path);
    decoder_handle d = new_decoder();
    return qdx_ogg_input_memory(d.get(), ogg.data(), size32(ogg), 0) == 0;
}

// The shared files that start; the others are checked by RefusedOrClean.
std::vector<decode_case> shared_cases(const std::string &subdir) {
    const std::string dir = shared_testdata_dir(subdir);
    if (dir.empty()) return {{"", 0}};
    std::vector<std::string> starting;
    for (const std::string &path : ogg_files_in(dir)) {
        if (starts(path)) starting.push_back(path);
    }
    return cases_for(starting);
}

void expect_reference_pcm(const decode_case &c) {
    if (c.path.empty())
        GTEST_SKIP() << "/work/shared/testdata is absent: shared vectors not checked";
    const std::vector<std::uint8_t> ogg = read_bytes(c.path);
    decoder_handle d = new_decoder();
    ASSERT_EQ(qdx_ogg_input_memory(d.get(), ogg.data(), size32(ogg), 0), 0);

    const decode_result got =
        decode_to_end(d.get(), c.length == VARYING ? varying_length() : fixed_length(c.length));
    EXPECT_EQ(got.fault, "");
    EXPECT_TRUE(got.reached_eof);
    const reference_result &want = reference_for(c.path);
    ASSERT_TRUE(want.opened);
    EXPECT_EQ(got.pcm.size(), want.pcm.size());
    EXPECT_TRUE(got.pcm == want.pcm) << "PCM differs from ov_read";
}

class FixtureReference : public testing::TestWithParam<decode_case> {};
TEST_P(FixtureReference, MatchesOvRead) { expect_reference_pcm(GetParam()); }
INSTANTIATE_TEST_SUITE_P(Fixtures, FixtureReference, testing::ValuesIn(fixture_cases()), case_name);

class VectorReference : public testing::TestWithParam<decode_case> {};
TEST_P(VectorReference, MatchesOvRead) { expect_reference_pcm(GetParam()); }
INSTANTIATE_TEST_SUITE_P(VorbisVectors, VectorReference,
                         testing::ValuesIn(shared_cases("vorbis-vectors")), case_name);

class MalformedReference : public testing::TestWithParam<decode_case> {};
TEST_P(MalformedReference, MatchesOvRead) { expect_reference_pcm(GetParam()); }
INSTANTIATE_TEST_SUITE_P(MalformedVorbis, MalformedReference,
                         testing::ValuesIn(shared_cases("malformed-vorbis")), case_name);

// Every input is either decoded to its end within the contract, or refused
// at the start, after which decoding calls return 0 and write nothing. Only
// inputs with bytes before their first page may be refused while Tremor's
// ov_open, which hunts for the first page, accepts them.
struct input_case {
    std::string path;  // empty: the shared folder is absent
    bool junk_before_first_page;
};

void PrintTo(const input_case &c, std::ostream *os) { *os << c.path; }

class RefusedOrClean : public testing::TestWithParam<input_case> {};

TEST_P(RefusedOrClean, NeverFaultsOrHangs) {
    const input_case &c = GetParam();
    if (c.path.empty())
        GTEST_SKIP() << "/work/shared/testdata is absent: shared inputs not checked";
    const std::vector<std::uint8_t> ogg = read_bytes(c.path);
    decoder_handle d = new_decoder();
    const std::int32_t started = qdx_ogg_input_memory(d.get(), ogg.data(), size32(ogg), 0);
    ASSERT_TRUE(started == 0 || started == 1) << started;
    if (started == 0) {
        const decode_result got = decode_to_end(d.get(), fixed_length(4096), 100000);
        EXPECT_EQ(got.fault, "");
        EXPECT_TRUE(got.reached_eof);
        return;
    }
    if (!c.junk_before_first_page) {
        EXPECT_FALSE(reference_for(c.path).opened) << "refused, yet Tremor accepts it";
    }
    std::vector<std::uint8_t> pcm;
    std::string fault;
    EXPECT_EQ(checked_call(d.get(), 4096, &pcm, &fault), 0);
    EXPECT_EQ(fault, "");
}

std::vector<input_case> every_input() {
    std::vector<input_case> cases;
    for (const char *file :
         {"mono44.ogg", "stereo44.ogg", "six48.ogg", "three.ogg", "mono22.ogg", "longcomment.ogg",
          "short.ogg", "notvorbis.ogg", "plain.wav", "truncated_setup.ogg", "badcrc_header.ogg",
          "badcrc_audio.ogg", "chained.ogg", "sample.ogg", "intro.ogg", "loop.ogg"}) {
        cases.push_back({fixture_path(file), false});
    }
    cases.push_back({fixture_path("junk_prefix.ogg"), true});
    cases.push_back({fixture_path("embedded.bin"), true});
    for (const char *subdir : {"vorbis-vectors", "malformed-vorbis"}) {
        const std::string dir = shared_testdata_dir(subdir);
        if (dir.empty()) cases.push_back({"", false});
        for (const std::string &path : ogg_files_in(dir)) cases.push_back({path, false});
    }
    return cases;
}

std::string input_name(const testing::TestParamInfo<input_case> &info) {
    if (info.param.path.empty()) return "shared_data_absent_" + std::to_string(info.index);
    const bool shared = info.param.path.find("/fixtures/") == std::string::npos;
    return (shared ? "shared_" : "fixture_") + test_name_of(info.param.path);
}

INSTANTIATE_TEST_SUITE_P(EveryInput, RefusedOrClean, testing::ValuesIn(every_input()), input_name);

// The setup header of this file shares its page with the first audio
// packets; they must be decoded, not dropped with the header page.
TEST(AudioAfterSetupHeader, SharedPageIsDecoded) {
    const std::string dir = shared_testdata_dir("malformed-vorbis");
    if (dir.empty()) GTEST_SKIP() << "/work/shared/testdata is absent";
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
