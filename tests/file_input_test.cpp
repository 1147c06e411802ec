// File inputs: offsets, lengths and ends, the refill chunks they give, files
// that cannot be used, long paths, mappings that cannot be made, ends beyond
// the file, a mapped file cut short while it plays, and attaching again.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "core/codec_state.h"
#include "core/decoder.h"
#include "input/refill.h"
#include "support/fault_plan.h"
#include "support/expect_decode.h"
#include "support/host_loop.h"
#include "support/resource_watch.h"
#include "support/source_kinds.h"
#include "support/test_data.h"

namespace {

namespace fs = std::filesystem;

// embedded.bin holds mono44.ogg at these offsets, with junk before and after.
constexpr std::uint32_t EMBEDDED_START = 4321;
constexpr std::uint32_t EMBEDDED_LENGTH = 25650;
constexpr std::uint32_t EMBEDDED_FILE_SIZE = 30748;

// Bytes that are not Ogg, different at every offset, so a chunk taken from
// the wrong place shows.
std::vector<std::uint8_t> junk_bytes(std::size_t size) {
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 131 + i / 251);
    return bytes;
}

// Byte counts a run of refills delivered, up to and including the first 0,
// and the reads each made.
struct refill_run {
    std::vector<std::uint32_t> delivered;
    std::vector<int> reads;
};

// Puts the source back where its input left it and empties the sync layer, so
// the refills that stream start made do not count.
void rewind_by_hand(qdx_ogg_decoder &d) {
    codec_reset(d);
    qdx_ogg_source &s = d.source1;
    if (s.kind == SRC_FILE) {
        plat_set_file_pointer(s.file, s.start, PLAT_FILE_BEGIN);
        s.position = 0;
    } else {
        s.position = s.start;
    }
    s.at_end = 0;
}

refill_run refill_until_end(qdx_ogg_decoder &d) {
    refill_run run;
    fault_plan counter;
    for (int i = 0; i < 8; ++i) {
        const int reads_before = counter.calls(PLAT_OP_READ);
        run.delivered.push_back(refill(d));
        run.reads.push_back(counter.calls(PLAT_OP_READ) - reads_before);
        if (run.delivered.back() == 0) break;
    }
    return run;
}

// What the sync layer received, in order (nothing was taken out of it).
std::vector<std::uint8_t> received_bytes(const qdx_ogg_decoder &d) {
    return std::vector<std::uint8_t>(d.sync.data, d.sync.data + d.sync.fill);
}

std::vector<std::uint8_t> slice(const std::vector<std::uint8_t> &bytes, std::size_t from,
                                std::size_t to) {
    return std::vector<std::uint8_t>(bytes.begin() + from, bytes.begin() + to);
}

// A path of exactly `length` bytes under dir, through nested directories
// that are created on the way; the file itself is not created.
std::string path_of_length(const std::string &dir, std::size_t length) {
    std::string path = dir;
    while (length - path.size() > 250) {
        path += "/" + std::string(199, 'd');
        fs::create_directory(path);
    }
    return path + "/" + std::string(length - path.size() - 1, 'f');
}

class file_kinds : public ::testing::TestWithParam<source_kind> {
protected:
    bool read() const { return GetParam() == source_kind::read_file; }
    // A one-file input of the parameter's kind with a start and a bound: for
    // a read file the bound is a length, for a mapped file an end offset.
    std::int32_t attach(qdx_ogg_decoder *d, const std::string &path, std::uint32_t start,
                        std::uint32_t length, std::uint32_t end) const {
        return read() ? qdx_ogg_input_file_open(d, path.c_str(), start, length)
                      : qdx_ogg_input_file_map(d, path.c_str(), start, end);
    }
    std::int32_t attach2(qdx_ogg_decoder *d, const std::string &path1,
                         const std::string &path2) const {
        return attach_two(d, GetParam(), path1, path2);
    }
};

class every_kind : public ::testing::TestWithParam<source_kind> {};

std::string kind_test_name(const ::testing::TestParamInfo<source_kind> &info) {
    return source_kind_name(info.param);
}

// --- A stream stored inside a larger file ----------------------------------

TEST_P(file_kinds, StreamInsideJunkWithExactBoundsDecodesLikeTheBareStream) {
    auto d = new_decoder();
    ASSERT_EQ(attach(d.get(), fixture_path("embedded.bin"), EMBEDDED_START, EMBEDDED_LENGTH,
                     EMBEDDED_START + EMBEDDED_LENGTH),
              0);
    EXPECT_EQ(decode_all(d.get()), reference_pcm("mono44.ogg"));
}

TEST_P(file_kinds, StreamInsideJunkUpToEndOfFileReadsAndDropsTheTrailingJunk) {
    auto d = new_decoder();
    ASSERT_EQ(attach(d.get(), fixture_path("embedded.bin"), EMBEDDED_START, 0, 0), 0);
    EXPECT_EQ(decode_all(d.get()), reference_pcm("mono44.ogg"));
    const std::uint32_t consumed_to =
        read() ? EMBEDDED_START + d->source1.position : d->source1.position;
    EXPECT_EQ(consumed_to, EMBEDDED_FILE_SIZE);
}

// --- Refill chunks ------------------------------------------------------------

class refill_chunks : public ::testing::Test {
protected:
    scratch_dir dir;
    std::string file_of(std::size_t size) {
        const std::string path = dir.file("junk" + std::to_string(size));
        bytes = junk_bytes(size);
        write_bytes(path, bytes);
        return path;
    }
    std::vector<std::uint8_t> bytes;
};

// The length counts from the start offset: bytes 1000 to 11000 of the file.
TEST_F(refill_chunks, ReadFileWithLengthStopsAtTheLengthWithoutReading) {
    auto d = new_decoder();
    qdx_ogg_input_file_open(d.get(), file_of(20000).c_str(), 1000, 10000);
    rewind_by_hand(*d);
    refill_run run = refill_until_end(*d);
    EXPECT_EQ(run.delivered, (std::vector<std::uint32_t>{8192, 1808, 0}));
    EXPECT_EQ(run.reads, (std::vector<int>{1, 1, 0}));
    EXPECT_EQ(received_bytes(*d), slice(bytes, 1000, 11000));
    EXPECT_EQ(d->source1.at_end, 1);
}

TEST_F(refill_chunks, ReadFileWithoutLimitLowersEndOnAShortRead) {
    auto d = new_decoder();
    qdx_ogg_input_file_open(d.get(), file_of(10000).c_str(), 0, 0);
    rewind_by_hand(*d);
    EXPECT_EQ(d->source1.end, NO_END_LIMIT);
    refill_run run = refill_until_end(*d);
    EXPECT_EQ(run.delivered, (std::vector<std::uint32_t>{8192, 1808, 0}));
    EXPECT_EQ(run.reads, (std::vector<int>{1, 1, 0}));
    EXPECT_EQ(d->source1.end, 10000u);
    EXPECT_EQ(received_bytes(*d), bytes);
}

TEST_F(refill_chunks, ReadFileOfWholeChunksEndsOnAReadOfNothing) {
    auto d = new_decoder();
    qdx_ogg_input_file_open(d.get(), file_of(16384).c_str(), 0, 0);
    rewind_by_hand(*d);
    ASSERT_EQ(refill(*d), 8192u);
    ASSERT_EQ(refill(*d), 8192u);
    EXPECT_EQ(d->source1.at_end, 0);
    refill_run run = refill_until_end(*d);
    EXPECT_EQ(run.delivered, (std::vector<std::uint32_t>{0}));
    EXPECT_EQ(run.reads, (std::vector<int>{1}));
    EXPECT_EQ(d->source1.at_end, 1);
    // Once ended, the source is not read again.
    EXPECT_EQ(refill_until_end(*d).reads, (std::vector<int>{0}));
    EXPECT_EQ(received_bytes(*d), bytes);
}

TEST_F(refill_chunks, ReadFileFromAnOffsetCountsPositionFromThatOffset) {
    auto d = new_decoder();
    qdx_ogg_input_file_open(d.get(), file_of(5000).c_str(), 100, 0);
    rewind_by_hand(*d);
    EXPECT_EQ(refill_until_end(*d).delivered, (std::vector<std::uint32_t>{4900, 0}));
    EXPECT_EQ(d->source1.position, 4900u);
    EXPECT_EQ(d->source1.end, 4900u);
    EXPECT_EQ(received_bytes(*d), slice(bytes, 100, 5000));
}

TEST_F(refill_chunks, MappedFileWithoutEndRunsFromStartToTheFileSize) {
    auto d = new_decoder();
    qdx_ogg_input_file_map(d.get(), file_of(5000).c_str(), 100, 0);
    EXPECT_EQ(d->source1.end, 5000u);
    rewind_by_hand(*d);
    EXPECT_EQ(refill_until_end(*d).delivered, (std::vector<std::uint32_t>{4900, 0}));
    EXPECT_EQ(d->source1.at_end, 1);
    EXPECT_EQ(received_bytes(*d), slice(bytes, 100, 5000));
}

TEST_F(refill_chunks, MappedFileEndIsAnOffsetNotALength) {
    auto d = new_decoder();
    qdx_ogg_input_file_map(d.get(), file_of(5000).c_str(), 100, 3000);
    rewind_by_hand(*d);
    EXPECT_EQ(refill_until_end(*d).delivered, (std::vector<std::uint32_t>{2900, 0}));
    EXPECT_EQ(received_bytes(*d), slice(bytes, 100, 3000));
}

TEST_F(refill_chunks, MappedFileStartingAtOrPastItsEndCopiesNothing) {
    const std::string path = file_of(5000);
    for (std::uint32_t start : {3000u, 4000u}) {
        auto d = new_decoder();
        EXPECT_EQ(qdx_ogg_input_file_map(d.get(), path.c_str(), start, 3000), 1) << start;
        EXPECT_EQ(d->source1.at_end, 1) << start;
        EXPECT_EQ(d->source1.position, start) << start;
    }
}

// --- Files that cannot be used --------------------------------------------------

TEST_P(file_kinds, MissingFileIsRefusedAndNothingStaysOpen) {
    scratch_dir dir;
    const int fds_before = open_fd_count();
    {
        auto d = new_decoder();
        EXPECT_EQ(attach(d.get(), dir.file("absent.ogg"), 0, 0, 0), 1);
        EXPECT_EQ(d->source1.file, PLAT_INVALID_HANDLE);
        EXPECT_EQ(open_fd_count(), fds_before);
    }
    EXPECT_EQ(open_fd_count(), fds_before);
}

TEST_P(file_kinds, MissingSecondFileKeepsTheFirstOpenUntilFree) {
    scratch_dir dir;
    const std::string first = fixture_path("intro.ogg");
    const int fds_before = open_fd_count();
    int fds_for_one_file;
    {
        auto one = new_decoder();
        ASSERT_EQ(attach_one(one.get(), GetParam(), first), 0);
        fds_for_one_file = open_fd_count() - fds_before;
    }
    ASSERT_EQ(open_fd_count(), fds_before);
    {
        auto d = new_decoder();
        EXPECT_EQ(attach2(d.get(), first, dir.file("absent.ogg")), 1);
        EXPECT_EQ(d->source2.file, PLAT_INVALID_HANDLE);
        EXPECT_NE(d->source1.file, PLAT_NO_HANDLE);
        EXPECT_EQ(open_fd_count(), fds_before + fds_for_one_file);
    }
    EXPECT_EQ(open_fd_count(), fds_before);
    EXPECT_EQ(mapping_count(first), 0);
}

TEST_P(every_kind, EmptyInputIsRefused) {
    scratch_dir dir;
    write_bytes(dir.file("empty.ogg"), {});
    const int fds_before = open_fd_count();
    {
        auto d = new_decoder();
        EXPECT_EQ(attach_one(d.get(), GetParam(), dir.file("empty.ogg")), 1);
    }
    EXPECT_EQ(open_fd_count(), fds_before);
}

// A decoder without a started stream has nothing to decode, describes no
// output, and a host that decodes until the end stops at once.
void expect_no_stream(qdx_ogg_decoder *d) {
    const qdx_ogg_wave_format zeros{};
    EXPECT_EQ(std::memcmp(qdx_ogg_pcm_format(d), &zeros, sizeof zeros), 0);
    EXPECT_EQ(qdx_ogg_eof(d), 1);
    const decode_result r = decode_to_end(d, fixed_length(4096), 10);
    EXPECT_TRUE(r.reached_eof) << r.fault;
    EXPECT_TRUE(r.pcm.empty());
}

// Paths that name no regular file. A FIFO without a writer would hold a
// plain open for ever; the alarm turns such a hang into a failure.
TEST_P(file_kinds, PathThatIsNoRegularFileIsRefusedAtOnce) {
    scratch_dir dir;
    const std::string fifo = dir.file("fifo.ogg");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const int fds_before = open_fd_count();
    alarm(60);
    for (const std::string &path : {dir.file("absent.ogg"), dir.path(), fifo, std::string("/dev/null")}) {
        SCOPED_TRACE(path);
        auto d = new_decoder();
        EXPECT_EQ(attach(d.get(), path, 0, 0, 0), 1);
        expect_no_stream(d.get());
    }
    alarm(0);
    EXPECT_EQ(open_fd_count(), fds_before);
}

TEST_P(every_kind, RefusedInputLeavesNoStreamOfAnEarlierOne) {
    auto d = new_decoder();
    expect_no_stream(d.get());
    ASSERT_EQ(attach_one(d.get(), GetParam(), fixture_path("six48.ogg")), 0);
    EXPECT_EQ(attach_one(d.get(), GetParam(), fixture_path("plain.wav")), 1);
    expect_no_stream(d.get());
}

// --- Path length ---------------------------------------------------------------

TEST_P(file_kinds, PathOfExactly1023BytesIsKeptAndReopenedOnResume) {
    scratch_dir dir;
    const std::string path = path_of_length(dir.path(), QDX_OGG_MAX_PATH_BYTES);
    ASSERT_EQ(path.size(), 1023u);
    write_bytes(path, read_bytes(fixture_path("short.ogg")));
    auto d = new_decoder();
    ASSERT_EQ(attach(d.get(), path, 0, 0, 0), 0);
    EXPECT_STREQ(d->source1.path, path.c_str());
    ASSERT_EQ(qdx_ogg_suspend(d.get()), 0);
    ASSERT_EQ(qdx_ogg_resume(d.get()), 0);
    EXPECT_EQ(decode_all(d.get()), reference_pcm("short.ogg"));
}

TEST_P(file_kinds, PathOf1024BytesIsRefusedBeforeAnythingIsOpened) {
    scratch_dir dir;
    const std::string path = path_of_length(dir.path(), QDX_OGG_MAX_PATH_BYTES + 1);
    ASSERT_EQ(path.size(), 1024u);
    write_bytes(path, read_bytes(fixture_path("short.ogg")));
    const std::string fits = fixture_path("short.ogg");
    const int fds_before = open_fd_count();
    fault_plan counter;
    {
        auto d = new_decoder();
        EXPECT_EQ(attach(d.get(), path, 0, 0, 0), 1);
        EXPECT_EQ(attach2(d.get(), fits, path), 1);
        EXPECT_EQ(attach2(d.get(), path, fits), 1);
        EXPECT_EQ(open_fd_count(), fds_before);
    }
    EXPECT_EQ(counter.calls(PLAT_OP_OPEN) + counter.calls(PLAT_OP_OPEN_FOR_MAPPING) +
                  counter.calls(PLAT_OP_FIND),
              0);
}

// --- Mappings that cannot be made --------------------------------------------

class mapping_fault : public ::testing::TestWithParam<plat_op> {
protected:
    const std::string intro = fixture_path("intro.ogg");
    const std::string loop = fixture_path("loop.ogg");
};

std::string op_test_name(const ::testing::TestParamInfo<plat_op> &info) {
    switch (info.param) {
        case PLAT_OP_MAPPING: return "mapping_object";
        case PLAT_OP_VIEW: return "view";
        case PLAT_OP_FILE_SIZE: return "file_size";
        default: return "op" + std::to_string(info.param);
    }
}

TEST_P(mapping_fault, RefusesTheInputAndReleasesWhatItOpened) {
    const int fds_before = open_fd_count();
    {
        auto d = new_decoder();
        fault_plan faults;
        faults.fail(GetParam());
        EXPECT_EQ(qdx_ogg_input_file_map(d.get(), intro.c_str(), 0, 0), 1);
        EXPECT_EQ(d->source1.data, nullptr);
        EXPECT_EQ(open_fd_count(), fds_before);
        EXPECT_EQ(mapping_count(intro), 0);
    }
    EXPECT_EQ(open_fd_count(), fds_before);
}

TEST_P(mapping_fault, OnTheSecondFileKeepsOnlyTheFirstMappedUntilFree) {
    const int fds_before = open_fd_count();
    int fds_for_one_file;
    {
        auto one = new_decoder();
        ASSERT_EQ(qdx_ogg_input_file_map(one.get(), intro.c_str(), 0, 0), 0);
        fds_for_one_file = open_fd_count() - fds_before;
    }
    {
        auto d = new_decoder();
        fault_plan faults;
        faults.fail(GetParam(), 1);
        EXPECT_EQ(qdx_ogg_input_file_map2(d.get(), intro.c_str(), 0, 0, loop.c_str(), 0, 0), 1);
        EXPECT_EQ(d->source2.data, nullptr);
        EXPECT_EQ(mapping_count(loop), 0);
        EXPECT_EQ(mapping_count(intro), 1);
        EXPECT_EQ(open_fd_count(), fds_before + fds_for_one_file);
    }
    EXPECT_EQ(open_fd_count(), fds_before);
    EXPECT_EQ(mapping_count(intro), 0);
}

TEST_P(mapping_fault, FailsTheResumeWithNothingOpenAndALaterResumeGoesOn) {
    const std::vector<std::uint8_t> &expected = reference_pcm("intro.ogg");
    const int fds_before = open_fd_count();
    {
        auto d = new_decoder();
        ASSERT_EQ(qdx_ogg_input_file_map(d.get(), intro.c_str(), 0, 0), 0);
        std::vector<std::uint8_t> pcm;
        std::string fault;
        checked_call(d.get(), 5000, &pcm, &fault);
        ASSERT_EQ(qdx_ogg_suspend(d.get()), 0);
        {
            fault_plan faults;
            faults.fail(GetParam());
            EXPECT_EQ(qdx_ogg_resume(d.get()), -1);
        }
        EXPECT_EQ(d->suspended, 1);
        EXPECT_EQ(open_fd_count(), fds_before);
        EXPECT_EQ(mapping_count(intro), 0);
        fd_sentinels sentinels;
        ASSERT_EQ(qdx_ogg_resume(d.get()), 0);
        decode_result rest = decode_to_end(d.get(), varying_length());
        EXPECT_EQ(rest.fault, "");
        pcm.insert(pcm.end(), rest.pcm.begin(), rest.pcm.end());
        EXPECT_EQ(pcm, expected);
        d.reset();
        EXPECT_TRUE(sentinels.all_open());
    }
    EXPECT_EQ(open_fd_count(), fds_before);
}

TEST_P(mapping_fault, OnTheSecondFileFailsTheResumeAndReleasesTheFirst) {
    const int fds_before = open_fd_count();
    auto d = new_decoder();
    ASSERT_EQ(qdx_ogg_input_file_map2(d.get(), intro.c_str(), 0, 0, loop.c_str(), 0, 0), 0);
    ASSERT_EQ(qdx_ogg_suspend(d.get()), 0);
    {
        fault_plan faults;
        faults.fail(GetParam(), 1);
        EXPECT_EQ(qdx_ogg_resume(d.get()), -1);
    }
    EXPECT_EQ(d->suspended, 1);
    EXPECT_EQ(d->source1.data, nullptr);
    EXPECT_EQ(open_fd_count(), fds_before);
    EXPECT_EQ(mapping_count(intro) + mapping_count(loop), 0);
    fd_sentinels sentinels;
    d.reset();
    EXPECT_TRUE(sentinels.all_open());
}

INSTANTIATE_TEST_SUITE_P(, mapping_fault,
                         ::testing::Values(PLAT_OP_MAPPING, PLAT_OP_VIEW, PLAT_OP_FILE_SIZE),
                         op_test_name);

// --- Ends beyond the file -------------------------------------------------------

TEST(mapped_end, BeyondTheFileIsHeldToTheFileSize) {
    const std::string path = fixture_path("mono44.ogg");
    const auto size = static_cast<std::uint32_t>(fs::file_size(path));
    auto d = new_decoder();
    ASSERT_EQ(qdx_ogg_input_file_map(d.get(), path.c_str(), 0, size + (1u << 20)), 0);
    EXPECT_EQ(d->source1.end, size);
    EXPECT_EQ(decode_all(d.get()), reference_pcm("mono44.ogg"));
}

TEST(mapped_end, OfASecondFileBeyondItsSizeIsHeldToo) {
    const std::string intro = fixture_path("intro.ogg");
    const std::string loop = fixture_path("loop.ogg");
    const auto loop_size = static_cast<std::uint32_t>(fs::file_size(loop));
    auto d = new_decoder();
    ASSERT_EQ(qdx_ogg_input_file_map2(d.get(), intro.c_str(), 0, 0, loop.c_str(), 0, 0xFFFFFFF0u),
              0);
    EXPECT_EQ(d->source2.end, loop_size);
    decode_all(d.get());
    ASSERT_EQ(qdx_ogg_replay(d.get()), 0);
    EXPECT_EQ(decode_all(d.get()), reference_pcm("loop.ogg"));
}

TEST(mapped_end, FromASizeQueryThatFailsIsHeldToTheOpenedFile) {
    const std::string path = fixture_path("mono44.ogg");
    auto d = new_decoder();
    {
        fault_plan faults;
        faults.fail(PLAT_OP_FIND);
        ASSERT_EQ(qdx_ogg_input_file_map(d.get(), path.c_str(), 0, 0), 0);
        EXPECT_EQ(faults.calls(PLAT_OP_FIND), 1);
    }
    EXPECT_EQ(d->source1.end, fs::file_size(path));
    EXPECT_EQ(decode_all(d.get()), reference_pcm("mono44.ogg"));
}

// --- A mapped file cut short while it plays ------------------------------------

// POSIX lets another process shrink a file that is mapped; touching the view
// past the new end would kill the host with SIGBUS. Wherever the cut falls,
// the source ends where the file now ends and what was heard is the start of
// the stream.
TEST(mapped_file_cut_short, EndsWhereTheFileNowEndsAtEveryRefillOfTheDecode) {
    scratch_dir dir;
    const std::string path = dir.file("cut.ogg");
    const std::vector<std::uint8_t> whole = read_bytes(fixture_path("stereo44.ogg"));
    const std::vector<std::uint8_t> &expected = reference_pcm("stereo44.ogg");
    const auto file_size = static_cast<std::uint32_t>(whole.size());
    for (std::uint32_t taken = REFILL_CHUNK; taken < file_size; taken += REFILL_CHUNK) {
        for (std::uint32_t cut_to : {0u, taken / 2, taken + 100}) {
            SCOPED_TRACE("cut to " + std::to_string(cut_to) + " after " + std::to_string(taken) + " bytes");
            write_bytes(path, whole);
            auto d = new_decoder();
            ASSERT_EQ(qdx_ogg_input_file_map(d.get(), path.c_str(), 0, 0), 0);
            std::vector<std::uint8_t> heard = decode_until(
                d.get(), 4096, [taken](const qdx_ogg_decoder &r) { return r.source1.position >= taken; });
            fs::resize_file(path, cut_to);
            const std::vector<std::uint8_t> rest = decode_all(d.get(), fixed_length(4096));
            EXPECT_EQ(d->source1.position, std::max(taken, std::min(cut_to, file_size)));
            heard.insert(heard.end(), rest.begin(), rest.end());
            EXPECT_TRUE(heard.size() <= expected.size() &&
                        std::equal(heard.begin(), heard.end(), expected.begin()));
        }
    }
}

// --- Attaching again ----------------------------------------------------------------

TEST_P(every_kind, AttachingAgainReleasesTheEarlierInput) {
    const std::string mono = fixture_path("mono44.ogg");
    const int fds_before = open_fd_count();
    int fds_for_one_file;
    {
        auto one = new_decoder();
        ASSERT_EQ(attach_one(one.get(), GetParam(), mono), 0);
        fds_for_one_file = open_fd_count() - fds_before;
    }
    {
        auto d = new_decoder();
        ASSERT_EQ(
            attach_two(d.get(), GetParam(), fixture_path("intro.ogg"), fixture_path("loop.ogg")),
            0);
        std::vector<std::uint8_t> ignored;
        std::string fault;
        checked_call(d.get(), 3000, &ignored, &fault);
        ASSERT_EQ(attach_one(d.get(), GetParam(), mono), 0);
        EXPECT_EQ(open_fd_count(), fds_before + fds_for_one_file);
        EXPECT_EQ(mapping_count(fixture_path("intro.ogg")), 0);
        EXPECT_EQ(d->has_second, 0);
        EXPECT_EQ(decode_all(d.get()), reference_pcm("mono44.ogg"));
    }
    EXPECT_EQ(open_fd_count(), fds_before);
}

TEST_P(file_kinds, AttachingAgainThatFailsStillReleasesTheEarlierInput) {
    scratch_dir dir;
    const int fds_before = open_fd_count();
    auto d = new_decoder();
    ASSERT_EQ(attach_one(d.get(), GetParam(), fixture_path("mono44.ogg")), 0);
    EXPECT_EQ(attach(d.get(), dir.file("absent.ogg"), 0, 0, 0), 1);
    EXPECT_EQ(open_fd_count(), fds_before);
    EXPECT_EQ(mapping_count(fixture_path("mono44.ogg")), 0);
}

INSTANTIATE_TEST_SUITE_P(, file_kinds, ::testing::ValuesIn(file_source_kinds), kind_test_name);
INSTANTIATE_TEST_SUITE_P(, every_kind, ::testing::ValuesIn(every_source_kind), kind_test_name);

}  // namespace
