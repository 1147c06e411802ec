// Inputs that crashed, hung or exhausted the memory of other Vorbis decoders
// (the shared malformed-vorbis set): each one, as it is and with its page
// checksums re-stamped so that its damage reaches the codec, is decoded or
// refused through every source kind, with no crash, no sanitizer report, no
// hang, and nothing left open after free. Each decodes twice: to the end,
// and again after a replay.
#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <tuple>
#include <vector>

#include "fuzz/page_checksums.h"
#include "support/host_loop.h"
#include "support/resource_watch.h"
#include "support/source_kinds.h"
#include "support/test_data.h"

namespace {

const char *const MALFORMED = "malformed-vorbis";

// Enough for any of these files to end: a hang shows as this many calls.
constexpr int CALL_LIMIT = 200000;

enum class form { as_is, restamped };

// "lewton-bug-42-sample016.ogg" -> "lewton_bug_42_sample016".
std::string name_of(const std::string &path) {
    std::string name = path.substr(path.find_last_of('/') + 1);
    name = name.substr(0, name.rfind('.'));
    for (char &c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    }
    return name;
}

std::vector<std::string> malformed_files() {
    return ogg_files_in(shared_testdata_dir(MALFORMED));
}

std::vector<std::uint8_t> bytes_in_form(const std::string &path, form f) {
    std::vector<std::uint8_t> bytes = read_bytes(path);
    if (f == form::restamped) restamp_page_checksums(bytes);
    return bytes;
}

// Decodes to the end as a host does; a refused restart or stream must still
// let the loop end.
void decode_checked(qdx_ogg_decoder *d, const char *pass) {
    const decode_result r = decode_to_end(d, varying_length(), CALL_LIMIT);
    EXPECT_EQ(r.fault, "") << pass;
    EXPECT_TRUE(r.reached_eof) << pass;
}

using case_params = std::tuple<std::string, form, source_kind>;

class malformed_input : public ::testing::TestWithParam<case_params> {};

TEST_P(malformed_input, IsDecodedOrRefusedAndLeavesNothingBehind) {
    const auto &[path, f, kind] = GetParam();
    scratch_dir dir;
    const std::string file = dir.file("input.ogg");
    write_bytes(file, bytes_in_form(path, f));
    const int fds_before = open_fd_count();

    qdx_ogg_decoder *d = qdx_ogg_create();
    ASSERT_NE(d, nullptr);
    const std::int32_t started = attach_one(d, kind, file);
    ASSERT_TRUE(started == 0 || started == 1) << started;
    if (started == 0) {
        decode_checked(d, "first pass");
        EXPECT_EQ(qdx_ogg_replay(d), 0);
        decode_checked(d, "after replay");
    } else {
        std::vector<std::uint8_t> pcm;
        std::string fault;
        EXPECT_EQ(checked_call(d, 4096, &pcm, &fault), 0) << "a refused input decoded";
        EXPECT_EQ(fault, "");
    }
    EXPECT_EQ(qdx_ogg_free(d), 0);
    EXPECT_EQ(open_fd_count(), fds_before);
    EXPECT_EQ(mapping_count(dir.path()), 0);
}

std::string case_name(const ::testing::TestParamInfo<case_params> &info) {
    const auto &[path, f, kind] = info.param;
    return name_of(path) + (f == form::restamped ? "_restamped_" : "_as_is_") + source_kind_name(kind);
}

INSTANTIATE_TEST_SUITE_P(, malformed_input,
                         ::testing::Combine(::testing::ValuesIn(malformed_files()),
                                            ::testing::Values(form::as_is, form::restamped),
                                            ::testing::ValuesIn(every_source_kind)),
                         case_name);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(malformed_input);

TEST(malformed_inputs, ArePresent) {
    if (shared_testdata_dir(MALFORMED).empty())
        GTEST_SKIP() << "../shared/testdata/" << MALFORMED << " is absent";
    EXPECT_FALSE(malformed_files().empty());
}

// The fuzz-found crashes were found with checksums off: only re-stamped do
// they get past the first page, so re-stamping must reach the codec.
TEST(malformed_inputs, RestampingLetsChecksumlessPagesThrough) {
    const std::string dir = shared_testdata_dir(MALFORMED);
    if (dir.empty()) GTEST_SKIP() << "../shared/testdata/" << MALFORMED << " is absent";
    const std::string path = dir + "/fts-crash-23c2d78e497bf4aebe5859e3092657cb0af4c299.ogg";
    const std::vector<std::uint8_t> as_is = read_bytes(path);
    std::vector<std::uint8_t> restamped = as_is;
    EXPECT_GT(restamp_page_checksums(restamped), 0);
    EXPECT_NE(restamped, as_is);
    decoder_ptr d = new_decoder();
    EXPECT_EQ(qdx_ogg_input_memory(d.get(), as_is.data(), static_cast<std::uint32_t>(as_is.size()), 0), 1);
}

}  // namespace
