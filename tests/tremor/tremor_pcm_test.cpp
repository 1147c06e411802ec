// Whole decodes with the sped-up Tremor against the reference Tremor: every
// test vector, every malformed file, every fixture and every saved fuzz
// input, decoded by each one's ov_read as a non-seekable stream. The PCM and
// every result ov_read gives (holes, errors, the end) must match exactly.
#include "support/reference.h"
#include "support/test_data.h"
#include "tremor_pair.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace {

struct decode_record {
    int open_result = 0;
    std::vector<std::uint8_t> pcm;
    std::vector<long> results;  // ov_read's non-positive results, with the link of each read
};

// A decode past this much PCM is cut short on both sides alike.
constexpr std::size_t pcm_limit = 64u << 20;

decode_record decode(const tremor_entry_points &tremor, const std::vector<std::uint8_t> &ogg) {
    decode_record record;
    memory_stream source{&ogg, 0};
    OggVorbis_File file;
    record.open_result = tremor.open_callbacks(&source, &file, nullptr, 0, unseekable_memory_callbacks());
    if (record.open_result != 0) return record;
    char chunk[4096];
    while (record.pcm.size() < pcm_limit) {
        int link = -1;
        const long got = tremor.read(&file, chunk, sizeof chunk, &link);
        if (got > 0) {
            record.pcm.insert(record.pcm.end(), chunk, chunk + got);
        } else {
            record.results.push_back(got);
            if (got != OV_HOLE) break;
        }
        record.results.push_back(link);
    }
    tremor.clear(&file);
    return record;
}

// Every file of a folder that may hold a stream (not scripts or notes).
std::vector<std::string> inputs_in(const std::string &dir) {
    std::vector<std::string> files;
    if (dir.empty() || !std::filesystem::is_directory(dir)) return files;
    for (const auto &entry : std::filesystem::directory_iterator(dir)) {
        const std::string extension = entry.path().extension().string();
        if (entry.is_regular_file() && extension != ".sh" && extension != ".py" && extension != ".md")
            files.push_back(entry.path().string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

void expect_same_decodes(const std::vector<std::string> &files) {
    for (const auto &path : files) {
        SCOPED_TRACE(path);
        const auto bytes = read_bytes(path);
        const decode_record patched = decode(patched_tremor, bytes);
        const decode_record reference = decode(reference_tremor, bytes);
        EXPECT_EQ(patched.open_result, reference.open_result);
        EXPECT_EQ(patched.results, reference.results);
        ASSERT_EQ(patched.pcm.size(), reference.pcm.size());
        const auto mismatch = std::mismatch(patched.pcm.begin(), patched.pcm.end(), reference.pcm.begin());
        EXPECT_TRUE(mismatch.first == patched.pcm.end())
            << "PCM differs from byte " << (mismatch.first - patched.pcm.begin());
    }
}

TEST(TremorPcm, TestVectorsDecodeAsTheReference) {
    const std::string dir = shared_testdata_dir("vorbis-vectors");
    if (dir.empty()) GTEST_SKIP() << "../shared/testdata/vorbis-vectors is absent";
    const auto files = inputs_in(dir);
    ASSERT_FALSE(files.empty());
    expect_same_decodes(files);
}

TEST(TremorPcm, MalformedFilesDecodeAsTheReference) {
    const std::string dir = shared_testdata_dir("malformed-vorbis");
    if (dir.empty()) GTEST_SKIP() << "../shared/testdata/malformed-vorbis is absent";
    const auto files = inputs_in(dir);
    ASSERT_FALSE(files.empty());
    expect_same_decodes(files);
}

TEST(TremorPcm, FixturesAndFuzzInputsDecodeAsTheReference) {
    const auto fixtures = inputs_in(fixture_path(""));
    const auto regressions = inputs_in(VELMORA_FUZZ_REGRESSIONS);
    ASSERT_FALSE(fixtures.empty());
    expect_same_decodes(fixtures);
    expect_same_decodes(regressions);
}

}  // namespace
