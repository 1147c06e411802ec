// Stream start from memory: the format record and batch size it leaves, the
// inputs it refuses, and how far into the source it reads to get there.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/decoder.h"
#include "core/header_search.h"
#include "core_helpers.h"
#include "support/host_loop.h"
#include "support/ogg_pages.h"
#include "support/resource_watch.h"

namespace {

struct started_format {
    const char *file;
    std::uint16_t channels;
    std::uint32_t rate;
    std::uint32_t bytes_per_second;
    std::uint16_t block_align;
    std::int32_t batch_samples;
};

void PrintTo(const started_format &f, std::ostream *os) { *os << f.file; }

class StartedFormat : public testing::TestWithParam<started_format> {};

TEST_P(StartedFormat, DescribesTheOutput) {
    const started_format &want = GetParam();
    const std::vector<std::uint8_t> ogg = read_bytes(fixture_path(want.file));
    decoder_handle d = new_decoder();
    ASSERT_EQ(qdx_ogg_input_memory(d.get(), ogg.data(), size32(ogg), 0), 0);
    const qdx_ogg_wave_format *format = qdx_ogg_pcm_format(d.get());
    ASSERT_EQ(format, &d->format);
    EXPECT_EQ(format->wFormatTag, 1);
    EXPECT_EQ(format->nChannels, want.channels);
    EXPECT_EQ(format->nSamplesPerSec, want.rate);
    EXPECT_EQ(format->nAvgBytesPerSec, want.bytes_per_second);
    EXPECT_EQ(format->nBlockAlign, want.block_align);
    EXPECT_EQ(format->wBitsPerSample, 16);
    EXPECT_EQ(format->cbSize, 0);
    EXPECT_EQ(d->batch_samples, want.batch_samples);
    EXPECT_EQ(d->headers_ready, 1);
    EXPECT_EQ(d->pcm_pending, 0);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, StartedFormat,
                         testing::Values(started_format{"mono44.ogg", 1, 44100, 88200, 2, 8192},
                                         started_format{"stereo44.ogg", 2, 44100, 176400, 4, 4096},
                                         started_format{"six48.ogg", 6, 48000, 576000, 12, 1365},
                                         started_format{"three.ogg", 3, 22050, 132300, 6, 2730}),
                         [](const testing::TestParamInfo<started_format> &info) {
                             return test_name_of(info.param.file);
                         });

// The record hosts read is the published WAVEFORMATEX: 18 little-endian
// bytes without padding.
TEST(FormatRecord, IsTheWaveFormatLayout) {
    const std::vector<std::uint8_t> ogg = read_bytes(fixture_path("stereo44.ogg"));
    decoder_handle d = new_decoder();
    ASSERT_EQ(qdx_ogg_input_memory(d.get(), ogg.data(), size32(ogg), 0), 0);
    const std::uint8_t want[18] = {0x01, 0x00, 0x02, 0x00, 0x44, 0xAC, 0x00, 0x00, 0x10,
                                   0xB1, 0x02, 0x00, 0x04, 0x00, 0x10, 0x00, 0x00, 0x00};
    EXPECT_EQ(std::memcmp(qdx_ogg_pcm_format(d.get()), want, sizeof want), 0);
}

TEST(FormatRecord, IsZeroBeforeAStart) {
    decoder_handle d = new_decoder();
    const std::uint8_t zeros[18] = {};
    EXPECT_EQ(std::memcmp(qdx_ogg_pcm_format(d.get()), zeros, sizeof zeros), 0);
}

// Refused inputs: the input function returns 1 having read only as far as
// the refill rule allows, and the record stays unusable but harmless.
struct refused_input {
    const char *label;
    const char *file;  // null: the bytes below
    std::vector<std::uint8_t> bytes;
    std::uint32_t position;  // where the source stands after the refusal
    std::int32_t at_end;
};

void PrintTo(const refused_input &r, std::ostream *os) { *os << r.label; }

class RefusedInput : public testing::TestWithParam<refused_input> {};

TEST_P(RefusedInput, ReturnsOneAndDecodesNothing) {
    const refused_input &c = GetParam();
    const std::vector<std::uint8_t> bytes = c.file ? read_bytes(fixture_path(c.file)) : c.bytes;
    decoder_handle d = new_decoder();
    EXPECT_EQ(qdx_ogg_input_memory(d.get(), bytes.data(), size32(bytes), 0), 1);
    EXPECT_EQ(d->source1.position, c.position);
    EXPECT_EQ(d->source1.at_end, c.at_end);
    EXPECT_EQ(d->headers_ready, 0);
    EXPECT_EQ(d->batch_samples, 0);
    const std::uint8_t zeros[18] = {};
    EXPECT_EQ(std::memcmp(qdx_ogg_pcm_format(d.get()), zeros, sizeof zeros), 0);

    std::vector<std::uint8_t> pcm;
    std::string fault;
    EXPECT_EQ(checked_call(d.get(), 4096, &pcm, &fault), 0);
    EXPECT_EQ(fault, "");

    // Freeing the record releases whatever the start had set up.
    const long left = heap_left_by([&] {
        decoder_handle again = new_decoder();
        EXPECT_EQ(qdx_ogg_input_memory(again.get(), bytes.data(), size32(bytes), 0), 1);
    });
    EXPECT_LE(left, HEAP_NOISE_BYTES);
}

std::vector<refused_input> refused_inputs() {
    return {
        // Not Ogg, or Ogg not starting at byte 0: no page in the first chunk.
        {"plain_wav", "plain.wav", {}, 8192, 0},
        {"junk_prefix", "junk_prefix.ogg", {}, 8192, 0},
        {"embedded_stream", "embedded.bin", {}, 8192, 0},
        // Ogg Opus: the identification header is refused.
        {"notvorbis", "notvorbis.ogg", {}, 8192, 0},
        // The source ends inside the setup header.
        {"truncated_setup", "truncated_setup.ogg", {}, 2067, 1},
        // The setup page is skipped by the sync layer and the stream layer
        // reports the gap at the next page, which ends at byte 8338: in the
        // second chunk.
        {"badcrc_header", "badcrc_header.ogg", {}, 16384, 0},
        {"empty_block", nullptr, {}, 0, 1},
        {"one_byte_block", nullptr, {'O'}, 1, 0},
        {"capture_pattern_only", nullptr, {'O', 'g', 'g', 'S'}, 4, 0},
    };
}

std::string refused_name(const testing::TestParamInfo<refused_input> &info) {
    return info.param.label;
}

INSTANTIATE_TEST_SUITE_P(Inputs, RefusedInput, testing::ValuesIn(refused_inputs()), refused_name);

TEST(RefusedInput, NullBlockWithASizeIsNotRead) {
    decoder_handle d = new_decoder();
    EXPECT_EQ(qdx_ogg_input_memory(d.get(), nullptr, 100, 0), 1);
    EXPECT_EQ(d->source1.position, 0u);
    EXPECT_EQ(d->headers_ready, 0);
    EXPECT_EQ(qdx_ogg_input_memory2(d.get(), nullptr, 100, nullptr, 0, 0), 1);
    EXPECT_EQ(d->source1.position, 0u);
    std::vector<std::uint8_t> pcm;
    std::string fault;
    EXPECT_EQ(checked_call(d.get(), 4096, &pcm, &fault), 0);
    EXPECT_EQ(fault, "");
}

// How far stream start reads: whole chunks, one more only while the sync
// buffer holds no whole page.
TEST(HeaderReading, HeadersInTheFirstChunkTakeOneRefill) {
    const std::vector<std::uint8_t> ogg =
        read_bytes(fixture_path("mono44.ogg"));  // headers end at 3172
    decoder_handle d = new_decoder();
    ASSERT_EQ(qdx_ogg_input_memory(d.get(), ogg.data(), size32(ogg), 0), 0);
    EXPECT_EQ(d->source1.position, 8192u);
}

TEST(HeaderReading, AWholeStreamInOneChunkIsNotYetAtItsEnd) {
    const std::vector<std::uint8_t> ogg = read_bytes(fixture_path("short.ogg"));  // 3834 bytes
    decoder_handle d = new_decoder();
    ASSERT_EQ(qdx_ogg_input_memory(d.get(), ogg.data(), size32(ogg), 0), 0);
    EXPECT_EQ(d->source1.position, 3834u);
    EXPECT_EQ(d->source1.at_end, 0);  // only the next refill finds nothing left
    EXPECT_EQ(qdx_ogg_eof(d.get()), 0);
}

// The comment header spans a full 65307-byte page and part of the next;
// the header pages end at byte 104424, inside the 13th chunk.
TEST(HeaderReading, HeadersAcrossPagesAndChunks) {
    const std::vector<std::uint8_t> ogg = read_bytes(fixture_path("longcomment.ogg"));
    decoder_handle d = new_decoder();
    ASSERT_EQ(qdx_ogg_input_memory(d.get(), ogg.data(), size32(ogg), 0), 0);
    EXPECT_EQ(d->source1.position, 13 * 8192u);
    EXPECT_EQ(qdx_ogg_pcm_format(d.get())->nChannels, 2);
    EXPECT_EQ(qdx_ogg_pcm_format(d.get())->nSamplesPerSec, 44100u);
}

// --- Junk between the header pages ------------------------------------------

// stereo44.ogg with what is given between its first page and the rest.
std::vector<std::uint8_t> stereo44_with_junk(const std::vector<std::uint8_t> &junk) {
    const std::vector<std::uint8_t> ogg = read_bytes(fixture_path("stereo44.ogg"));
    const std::size_t first_page = pages_of(ogg).front().size();
    std::vector<std::uint8_t> out(ogg.begin(), ogg.begin() + static_cast<long>(first_page));
    out.insert(out.end(), junk.begin(), junk.end());
    out.insert(out.end(), ogg.begin() + static_cast<long>(first_page), ogg.end());
    return out;
}

// The capture pattern every 7 bytes, 0xFF between: each one claims 255
// segments of mostly 255 bytes, a false page of about 41 KB to checksum for
// every 7 bytes passed over.
std::vector<std::uint8_t> recurring_capture_patterns(std::size_t size) {
    std::vector<std::uint8_t> junk(size, 0xFF);
    for (std::size_t at = 0; at + 4 <= size; at += 7) std::memcpy(&junk[at], "OggS", 4);
    return junk;
}

// A refusal comes after a bounded stretch of junk has been read: not the
// whole of it, as when every false page was checksummed.
TEST(HeaderSearch, RecurringCapturePatternsAreRefusedAfterBoundedWork) {
    const std::vector<std::uint8_t> ogg = stereo44_with_junk(recurring_capture_patterns(4u << 20));
    decoder_handle d = new_decoder();
    EXPECT_EQ(qdx_ogg_input_memory(d.get(), ogg.data(), size32(ogg), 0), 1);
    EXPECT_LT(d->source1.position, 256u * 1024) << "false pages checksummed past the cap";
}

TEST(HeaderSearch, JunkWithoutPagesIsRefusedPastTheSkipCap) {
    const std::vector<std::uint8_t> ogg = stereo44_with_junk(std::vector<std::uint8_t>(2u << 20, 0xFF));
    decoder_handle d = new_decoder();
    EXPECT_EQ(qdx_ogg_input_memory(d.get(), ogg.data(), size32(ogg), 0), 1);
    EXPECT_LE(d->source1.position, HEADER_SKIP_LIMIT + 3 * 8192);
}

// What damage leaves in real files stays within both caps: a stretch of
// noise and damaged copies of the largest header page, then the headers
// decode as if nothing were there.
TEST(HeaderSearch, DamageOfRealFilesIsPassedOver) {
    const std::vector<std::uint8_t> clean = read_bytes(fixture_path("stereo44.ogg"));
    std::vector<std::uint8_t> junk(256 * 1024);
    std::uint32_t state = 12345;
    for (std::uint8_t &byte : junk) byte = static_cast<std::uint8_t>((state = state * 1103515245 + 12345) >> 24);
    std::vector<std::uint8_t> damaged = pages_of(clean).at(1);
    damaged[damaged.size() / 2] ^= 0x40;
    for (int copy = 0; copy < 32; ++copy) junk.insert(junk.end(), damaged.begin(), damaged.end());
    const std::vector<std::uint8_t> ogg = stereo44_with_junk(junk);
    decoder_handle d = new_decoder();
    ASSERT_EQ(qdx_ogg_input_memory(d.get(), ogg.data(), size32(ogg), 0), 0);
    EXPECT_EQ(decode_to_end(d.get(), fixed_length(4096)).pcm, reference_for(fixture_path("stereo44.ogg")).pcm);
}

}  // namespace
