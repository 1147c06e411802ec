// Suspend and resume: silence while suspended and the same samples after,
// at any moment and for every source kind; what the sources hold meanwhile;
// calls in the wrong state; files deleted or replaced while suspended; a read
// file resumed past 4 GiB.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

#include "core/decoder.h"
#include "support/expect_decode.h"
#include "support/host_loop.h"
#include "support/resource_watch.h"
#include "support/source_kinds.h"
#include "support/test_data.h"

namespace {

namespace fs = std::filesystem;

// Lengths of the calls made while suspended: odd, tiny and large.
const std::vector<std::int32_t> silent_lengths = {1, 4096, 333, 65537};

// Bytes the active source has delivered since its start.
std::uint32_t bytes_taken(const qdx_ogg_decoder &d) {
    const qdx_ogg_source &s = d.use_second ? d.source2 : d.source1;
    return s.kind == SRC_FILE ? s.position : s.position - s.start;
}

// The most whole frames of the stream's format that fit in length.
std::int32_t whole_frames(const qdx_ogg_decoder &d, std::int32_t length) {
    const std::int32_t frame = d.format.nBlockAlign;
    return length - length % frame;
}

// The calls a host makes while suspended: each must hand back zero bytes,
// as many whole frames as fit in its length, so that what follows the
// resume stays on frame boundaries.
std::vector<std::uint8_t> calls_while_suspended(qdx_ogg_decoder *d,
                                                const std::vector<std::int32_t> &lengths = silent_lengths) {
    std::vector<std::uint8_t> pcm;
    std::string fault;
    for (std::int32_t length : lengths) {
        EXPECT_EQ(checked_call(d, length, &pcm, &fault), whole_frames(*d, length));
        EXPECT_EQ(fault, "");
    }
    EXPECT_TRUE(std::all_of(pcm.begin(), pcm.end(), [](std::uint8_t b) { return b == 0; }));
    return pcm;
}

// The uninterrupted output with silence inserted after the first `at` bytes.
std::vector<std::uint8_t> with_silence_at(const std::vector<std::uint8_t> &pcm, std::size_t at,
                                          std::size_t silence) {
    std::vector<std::uint8_t> expected(pcm.begin(), pcm.begin() + std::min(at, pcm.size()));
    expected.resize(expected.size() + silence, 0);
    if (at < pcm.size()) expected.insert(expected.end(), pcm.begin() + at, pcm.end());
    return expected;
}

bool is_prefix_of(const std::vector<std::uint8_t> &part, const std::vector<std::uint8_t> &whole) {
    return part.size() <= whole.size() && std::equal(part.begin(), part.end(), whole.begin());
}

// Where in the stream a decoder is suspended.
enum class moment {
    mid_drain,       // the last call stopped at its length; PCM is pending
    between_refills  // the last call stopped to refill; nothing is pending
};

// Past the first two chunks, so that resume has a place to go back to.
bool reached(const qdx_ogg_decoder &d, moment when) {
    const bool pending = d.pcm_pending == 1;
    return bytes_taken(d) >= 2 * REFILL_CHUNK && pending == (when == moment::mid_drain);
}

std::int32_t call_length(moment when) { return when == moment::mid_drain ? 1001 : 1 << 20; }

using kind_and_moment = std::tuple<source_kind, moment>;

class interrupted : public ::testing::TestWithParam<kind_and_moment> {
protected:
    source_kind kind() const { return std::get<0>(GetParam()); }
    moment when() const { return std::get<1>(GetParam()); }
    // Decodes up to the moment, suspends, makes the silent calls, resumes.
    std::vector<std::uint8_t> decode_and_suspend(qdx_ogg_decoder *dec) {
        std::vector<std::uint8_t> heard =
            decode_until(dec, call_length(when()),
                         [this](const qdx_ogg_decoder &r) { return reached(r, when()); });
        heard_before = heard.size();
        EXPECT_EQ(qdx_ogg_suspend(dec), 0);
        const std::vector<std::uint8_t> silence = calls_while_suspended(dec);
        EXPECT_EQ(qdx_ogg_resume(dec), 0);
        return joined({heard, silence});
    }
    std::size_t heard_before = 0;
    decoder_ptr d = new_decoder();
};

std::string interrupted_name(const ::testing::TestParamInfo<kind_and_moment> &info) {
    const bool mid_drain = std::get<1>(info.param) == moment::mid_drain;
    return source_kind_name(std::get<0>(info.param)) +
           (mid_drain ? "_mid_drain" : "_between_refills");
}

// What the silent calls give on a stereo stream: 4-byte frames.
std::size_t silence_bytes() {
    std::size_t total = 0;
    for (std::int32_t length : silent_lengths) total += static_cast<std::size_t>(length - length % 4);
    return total;
}

// --- The same samples, with silence in between --------------------------------

TEST_P(interrupted, OneSourceGoesOnAtTheSameSample) {
    ASSERT_EQ(attach_one(d.get(), kind(), fixture_path("stereo44.ogg")), 0);
    std::vector<std::uint8_t> heard = decode_and_suspend(d.get());
    const std::vector<std::uint8_t> rest = decode_all(d.get());
    EXPECT_EQ(joined({heard, rest}),
              with_silence_at(reference_pcm("stereo44.ogg"), heard_before, silence_bytes()));
}

TEST_P(interrupted, TwoSourcesWhileTheFirstPlaysAndTheSecondIsUnread) {
    ASSERT_EQ(attach_two(d.get(), kind(), fixture_path("stereo44.ogg"), fixture_path("loop.ogg")),
              0);
    std::vector<std::uint8_t> heard = decode_and_suspend(d.get());
    if (kind() == source_kind::read_file) {
        EXPECT_EQ(file_offset_of(d->source2.file), 0);
    }
    const std::vector<std::uint8_t> first = decode_all(d.get());
    ASSERT_EQ(qdx_ogg_replay(d.get()), 0);
    const std::vector<std::uint8_t> second = decode_all(d.get());
    EXPECT_EQ(joined({heard, first}),
              with_silence_at(reference_pcm("stereo44.ogg"), heard_before, silence_bytes()));
    EXPECT_EQ(second, reference_pcm("loop.ogg"));
}

TEST_P(interrupted, TwoSourcesAfterTheSwitchToTheSecond) {
    ASSERT_EQ(attach_two(d.get(), kind(), fixture_path("intro.ogg"), fixture_path("stereo44.ogg")),
              0);
    EXPECT_EQ(decode_all(d.get()), reference_pcm("intro.ogg"));
    ASSERT_EQ(qdx_ogg_replay(d.get()), 0);
    std::vector<std::uint8_t> heard = decode_and_suspend(d.get());
    const std::vector<std::uint8_t> rest = decode_all(d.get());
    EXPECT_EQ(joined({heard, rest}),
              with_silence_at(reference_pcm("stereo44.ogg"), heard_before, silence_bytes()));
    ASSERT_EQ(qdx_ogg_replay(d.get()), 0);
    EXPECT_EQ(decode_all(d.get()), reference_pcm("stereo44.ogg"));
}

INSTANTIATE_TEST_SUITE_P(, interrupted,
                         ::testing::Combine(::testing::ValuesIn(every_source_kind),
                                            ::testing::Values(moment::mid_drain,
                                                              moment::between_refills)),
                         interrupted_name);

// --- What the sources hold while suspended -----------------------------------------

TEST(suspended_sources, MappedFilesLoseViewMappingAndFileAndGetThemBack) {
    auto d = new_decoder();
    ASSERT_EQ(qdx_ogg_input_file_map2(d.get(), fixture_path("stereo44.ogg").c_str(), 0, 0,
                                      fixture_path("loop.ogg").c_str(), 100, 0),
              0);
    decode_until(d.get(), 1001,
                 [](const qdx_ogg_decoder &r) { return r.source1.position > 20000; });
    const std::uint32_t position1 = d->source1.position;
    const std::uint32_t end2 = d->source2.end;
    ASSERT_EQ(qdx_ogg_suspend(d.get()), 0);
    for (const qdx_ogg_source *s : {&d->source1, &d->source2}) {
        EXPECT_EQ(s->data, nullptr);
        EXPECT_EQ(s->mapping, PLAT_NO_HANDLE);
        EXPECT_EQ(s->file, PLAT_NO_HANDLE);
    }
    EXPECT_EQ(mapping_count(fixture_path("stereo44.ogg")), 0);
    ASSERT_EQ(qdx_ogg_resume(d.get()), 0);
    for (const qdx_ogg_source *s : {&d->source1, &d->source2}) {
        EXPECT_NE(s->data, nullptr);
        EXPECT_NE(s->mapping, PLAT_NO_HANDLE);
        EXPECT_NE(s->file, PLAT_NO_HANDLE);
        EXPECT_NE(s->file, PLAT_INVALID_HANDLE);
    }
    EXPECT_EQ(d->source1.position, position1);
    EXPECT_EQ(d->source2.position, 100u);
    EXPECT_EQ(d->source2.end, end2);
}

TEST(suspended_sources, ReadFileAfterThreeRefillsResumesAtStartPlusTheBytesRead) {
    constexpr std::uint32_t start = 4321;  // mono44.ogg inside embedded.bin
    auto d = new_decoder();
    ASSERT_EQ(qdx_ogg_input_file_open(d.get(), fixture_path("embedded.bin").c_str(), start, 0), 0);
    std::vector<std::uint8_t> heard = decode_until(d.get(), 500, [](const qdx_ogg_decoder &r) {
        return r.source1.position >= 3 * REFILL_CHUNK;
    });
    ASSERT_EQ(d->source1.position, 24576u);
    ASSERT_EQ(qdx_ogg_suspend(d.get()), 0);
    EXPECT_EQ(d->source1.file, PLAT_NO_HANDLE);
    const std::size_t heard_before = heard.size();
    const std::vector<std::uint8_t> silence = calls_while_suspended(d.get());
    ASSERT_EQ(qdx_ogg_resume(d.get()), 0);
    EXPECT_EQ(d->source1.position, 24576u);
    EXPECT_EQ(file_offset_of(d->source1.file), start + 24576);
    const std::vector<std::uint8_t> rest = decode_all(d.get());
    EXPECT_EQ(joined({heard, silence, rest}),
              with_silence_at(reference_pcm("mono44.ogg"), heard_before, silence.size()));
}

// A host that asks for a length that is not a multiple of the frame (10 ms
// of mono 22.05 kHz is 441 bytes; 4096 is not a multiple of six channels'
// 12 bytes) gets whole frames of silence, and the samples after the resume
// come back in their channels.
TEST(suspended_silence, WholeFramesAtLengthsThatAreNotMultiplesOfTheFrame) {
    for (const auto &[fixture, length] :
         {std::pair<const char *, std::int32_t>{"six48.ogg", 4096}, {"mono44.ogg", 441}, {"six48.ogg", 7}}) {
        SCOPED_TRACE(fixture);
        auto d = new_decoder();
        const std::vector<std::uint8_t> bytes = read_bytes(fixture_path(fixture));
        ASSERT_EQ(qdx_ogg_input_memory(d.get(), bytes.data(), static_cast<std::uint32_t>(bytes.size()), 0), 0);
        const std::vector<std::uint8_t> heard =
            decode_until(d.get(), length, [](const qdx_ogg_decoder &r) { return r.pcm_pending == 1; });
        ASSERT_EQ(qdx_ogg_suspend(d.get()), 0);
        const std::vector<std::uint8_t> silence = calls_while_suspended(d.get(), {length, length, length});
        ASSERT_EQ(qdx_ogg_resume(d.get()), 0);
        const std::vector<std::uint8_t> rest = decode_all(d.get(), fixed_length(length));
        EXPECT_EQ(joined({heard, silence, rest}),
                  with_silence_at(reference_pcm(fixture), heard.size(), silence.size()));
    }
}

// --- Calls in the wrong state --------------------------------------------------------

std::vector<std::uint8_t> record_bytes(const qdx_ogg_decoder &d) {
    const auto *p = reinterpret_cast<const std::uint8_t *>(&d);
    return std::vector<std::uint8_t>(p, p + sizeof d);
}

class every_kind : public ::testing::TestWithParam<source_kind> {};

std::string kind_test_name(const ::testing::TestParamInfo<source_kind> &info) {
    return source_kind_name(info.param);
}

TEST_P(every_kind, SuspendTwiceOrResumeWhileRunningIsRefusedAndChangesNothing) {
    auto d = new_decoder();
    ASSERT_EQ(attach_two(d.get(), GetParam(), fixture_path("intro.ogg"), fixture_path("loop.ogg")),
              0);
    const std::vector<std::uint8_t> running = record_bytes(*d);
    EXPECT_EQ(qdx_ogg_resume(d.get()), -2);
    EXPECT_EQ(record_bytes(*d), running);
    ASSERT_EQ(qdx_ogg_suspend(d.get()), 0);
    const std::vector<std::uint8_t> suspended = record_bytes(*d);
    EXPECT_EQ(qdx_ogg_suspend(d.get()), -2);
    EXPECT_EQ(record_bytes(*d), suspended);
    EXPECT_EQ(qdx_ogg_suspend(nullptr), -1);
    EXPECT_EQ(qdx_ogg_resume(nullptr), -1);
}

TEST_P(every_kind, FreeingASuspendedDecoderClosesNothingTwice) {
    const int fds_before = open_fd_count();
    auto d = new_decoder();
    ASSERT_EQ(attach_two(d.get(), GetParam(), fixture_path("intro.ogg"), fixture_path("loop.ogg")),
              0);
    ASSERT_EQ(qdx_ogg_suspend(d.get()), 0);
    EXPECT_EQ(open_fd_count(), fds_before);
    fd_sentinels sentinels;
    d.reset();
    EXPECT_TRUE(sentinels.all_open());
}

TEST_P(every_kind, EndOfInputStaysReportedWhileSuspended) {
    auto d = new_decoder();
    ASSERT_EQ(attach_one(d.get(), GetParam(), fixture_path("short.ogg")), 0);
    decode_all(d.get());
    ASSERT_EQ(qdx_ogg_suspend(d.get()), 0);
    EXPECT_EQ(qdx_ogg_eof(d.get()), 1);
    ASSERT_EQ(qdx_ogg_resume(d.get()), 0);
    EXPECT_EQ(qdx_ogg_eof(d.get()), 1);
}

INSTANTIATE_TEST_SUITE_P(, every_kind, ::testing::ValuesIn(every_source_kind), kind_test_name);

// --- Files that change while suspended -----------------------------------------------

// Copies of the fixtures in a scratch folder, to delete or replace.
class changed_while_suspended : public ::testing::Test {
protected:
    scratch_dir dir;
    const std::string first = dir.file("first.ogg");
    const std::string second = dir.file("second.ogg");
    const std::vector<std::uint8_t> first_bytes = read_bytes(fixture_path("stereo44.ogg"));
    const std::vector<std::uint8_t> second_bytes = read_bytes(fixture_path("loop.ogg"));
    const int fds_before = open_fd_count();
    decoder_ptr d = new_decoder();

    void SetUp() override {
        write_bytes(first, first_bytes);
        write_bytes(second, second_bytes);
    }
    // Decodes into the middle of the first file, suspends and returns what
    // was heard.
    std::vector<std::uint8_t> decode_into_middle_and_suspend() {
        std::vector<std::uint8_t> heard = decode_until(d.get(), 1001, [](const qdx_ogg_decoder &r) {
            return bytes_taken(r) >= 2 * REFILL_CHUNK;
        });
        EXPECT_EQ(qdx_ogg_suspend(d.get()), 0);
        return heard;
    }
    // Replaces a file by a new one with the given bytes.
    void replace(const std::string &path, const std::vector<std::uint8_t> &bytes) {
        write_bytes(path + ".new", bytes);
        fs::rename(path + ".new", path);
    }
};

TEST_F(changed_while_suspended, DeletedMappedFileFailsTheResumeAndLeavesNothingOpen) {
    ASSERT_EQ(qdx_ogg_input_file_map(d.get(), first.c_str(), 0, 0), 0);
    std::vector<std::uint8_t> heard = decode_into_middle_and_suspend();
    fs::remove(first);
    EXPECT_EQ(qdx_ogg_resume(d.get()), -1);
    EXPECT_EQ(d->suspended, 1);
    EXPECT_EQ(open_fd_count(), fds_before);
    EXPECT_EQ(qdx_ogg_suspend(d.get()), -2);
    const std::vector<std::uint8_t> silence = calls_while_suspended(d.get());

    // Put back, the file is taken up again where it was left.
    write_bytes(first, first_bytes);
    fd_sentinels sentinels;
    ASSERT_EQ(qdx_ogg_resume(d.get()), 0);
    const std::vector<std::uint8_t> rest = decode_all(d.get());
    EXPECT_EQ(joined({heard, silence, rest}),
              with_silence_at(reference_pcm("stereo44.ogg"), heard.size(), silence.size()));
    d.reset();
    EXPECT_TRUE(sentinels.all_open());
}

TEST_F(changed_while_suspended, DeletedSecondMappedFileReleasesTheReopenedFirst) {
    ASSERT_EQ(qdx_ogg_input_file_map2(d.get(), first.c_str(), 0, 0, second.c_str(), 0, 0), 0);
    std::vector<std::uint8_t> heard = decode_into_middle_and_suspend();
    fs::remove(second);
    EXPECT_EQ(qdx_ogg_resume(d.get()), -1);
    EXPECT_EQ(d->suspended, 1);
    EXPECT_EQ(d->source1.data, nullptr);
    EXPECT_EQ(open_fd_count(), fds_before);
    EXPECT_EQ(mapping_count(dir.path()), 0);

    write_bytes(second, second_bytes);
    {
        fd_sentinels sentinels;
        ASSERT_EQ(qdx_ogg_resume(d.get()), 0);
        const std::vector<std::uint8_t> rest = decode_all(d.get());
        EXPECT_EQ(joined({heard, rest}), reference_pcm("stereo44.ogg"));
        ASSERT_EQ(qdx_ogg_replay(d.get()), 0);
        EXPECT_EQ(decode_all(d.get()), reference_pcm("loop.ogg"));
        d.reset();
        EXPECT_TRUE(sentinels.all_open());
    }
    EXPECT_EQ(open_fd_count(), fds_before);
}

TEST_F(changed_while_suspended, DeletedReadFileResumesAndEndsItsSource) {
    ASSERT_EQ(qdx_ogg_input_file_open(d.get(), first.c_str(), 0, 0), 0);
    std::vector<std::uint8_t> heard = decode_into_middle_and_suspend();
    fs::remove(first);
    ASSERT_EQ(qdx_ogg_resume(d.get()), 0);
    EXPECT_EQ(d->suspended, 0);
    EXPECT_EQ(d->source1.file, PLAT_INVALID_HANDLE);
    const std::vector<std::uint8_t> rest = decode_all(d.get());
    EXPECT_TRUE(is_prefix_of(joined({heard, rest}), reference_pcm("stereo44.ogg")));
    EXPECT_EQ(open_fd_count(), fds_before);
}

TEST_F(changed_while_suspended, DeletedSecondReadFileEndsAtTheReplay) {
    ASSERT_EQ(qdx_ogg_input_file_open2(d.get(), first.c_str(), 0, 0, second.c_str(), 0, 0), 0);
    std::vector<std::uint8_t> heard = decode_into_middle_and_suspend();
    fs::remove(second);
    ASSERT_EQ(qdx_ogg_resume(d.get()), 0);
    const std::vector<std::uint8_t> rest = decode_all(d.get());
    EXPECT_EQ(joined({heard, rest}), reference_pcm("stereo44.ogg"));
    ASSERT_EQ(qdx_ogg_replay(d.get()), 1);  // nothing to start from: reported
    decode_result after = decode_to_end(d.get(), fixed_length(4096), 100);
    EXPECT_TRUE(after.reached_eof) << after.fault;
    EXPECT_TRUE(after.pcm.empty());
}

// A path that became a FIFO while suspended must not make resume wait for a
// writer (the alarm turns such a hang into a failure): a read source ends
// there, a mapped one fails the resume.
TEST_F(changed_while_suspended, PathTurnedIntoAFifoIsNotWaitedFor) {
    alarm(60);
    ASSERT_EQ(qdx_ogg_input_file_open(d.get(), first.c_str(), 0, 0), 0);
    std::vector<std::uint8_t> heard = decode_into_middle_and_suspend();
    fs::remove(first);
    ASSERT_EQ(mkfifo(first.c_str(), 0600), 0);
    ASSERT_EQ(qdx_ogg_resume(d.get()), 0);
    EXPECT_EQ(d->source1.file, PLAT_INVALID_HANDLE);
    const std::vector<std::uint8_t> rest = decode_all(d.get());
    EXPECT_TRUE(is_prefix_of(joined({heard, rest}), reference_pcm("stereo44.ogg")));

    ASSERT_EQ(qdx_ogg_input_file_map(d.get(), second.c_str(), 0, 0), 0);
    ASSERT_EQ(qdx_ogg_suspend(d.get()), 0);
    fs::remove(second);
    ASSERT_EQ(mkfifo(second.c_str(), 0600), 0);
    EXPECT_EQ(qdx_ogg_resume(d.get()), -1);
    EXPECT_EQ(d->suspended, 1);
    alarm(0);
    d.reset();
    EXPECT_EQ(open_fd_count(), fds_before);
}

// A mapped file replaced by a shorter one: resume maps the new file, and no
// refill may copy past its end, wherever the old position lies.
TEST_F(changed_while_suspended, ShorterMappedFileIsNeverReadPastItsEnd) {
    for (std::size_t new_size : {std::size_t{9000}, std::size_t{30000}}) {
        SCOPED_TRACE(new_size);
        write_bytes(first, first_bytes);
        d = new_decoder();
        ASSERT_EQ(qdx_ogg_input_file_map(d.get(), first.c_str(), 0, 0), 0);
        std::vector<std::uint8_t> heard = decode_into_middle_and_suspend();
        const std::uint32_t left_at = d->source1.position;
        replace(first,
                std::vector<std::uint8_t>(first_bytes.begin(), first_bytes.begin() + new_size));
        ASSERT_EQ(qdx_ogg_resume(d.get()), 0);
        EXPECT_LE(d->source1.end, new_size);
        const std::vector<std::uint8_t> rest = decode_all(d.get());
        if (left_at >= new_size) {
            EXPECT_EQ(d->source1.position, left_at);  // nothing more was copied
        } else {
            EXPECT_LE(d->source1.position, new_size);
        }
        EXPECT_TRUE(is_prefix_of(joined({heard, rest}), reference_pcm("stereo44.ogg")));
    }
}

// --- A read file past 4 GiB ------------------------------------------------------

// Writes bytes at offset into a new sparse file; false when the file system
// refuses a file that large.
bool write_sparse(const std::string &path, std::uint64_t offset, const std::vector<std::uint8_t> &bytes) {
    std::ofstream out(path, std::ios::binary);
    out.seekp(static_cast<std::streamoff>(offset));
    out.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return out.good();
}

// A stream that begins just below 4 GiB: decoding reads on past 4 GiB, and a
// suspend there must come back at the same byte, not 4 GiB earlier.
TEST(read_file_past_4_gib, ResumesAtTheSameByte) {
    constexpr std::uint64_t four_gib = std::uint64_t{1} << 32;
    const std::uint32_t start = static_cast<std::uint32_t>(four_gib - 2 * REFILL_CHUNK - 100);
    scratch_dir dir;
    const std::string path = dir.file("sparse.bin");
    if (!write_sparse(path, start, read_bytes(fixture_path("stereo44.ogg")))) {
        GTEST_SKIP() << "the file system refuses a file past 4 GiB";
    }
    auto d = new_decoder();
    ASSERT_EQ(qdx_ogg_input_file_open(d.get(), path.c_str(), start, 0), 0);
    std::vector<std::uint8_t> heard = decode_until(d.get(), 1001, [&](const qdx_ogg_decoder &r) {
        return start + std::uint64_t{r.source1.position} > four_gib;
    });
    ASSERT_EQ(qdx_ogg_suspend(d.get()), 0);
    const std::vector<std::uint8_t> silence = calls_while_suspended(d.get());
    ASSERT_EQ(qdx_ogg_resume(d.get()), 0);
    const std::vector<std::uint8_t> rest = decode_all(d.get());
    EXPECT_EQ(joined({heard, silence, rest}),
              with_silence_at(reference_pcm("stereo44.ogg"), heard.size(), silence.size()));
}

}  // namespace
