// Stream start takes bounded memory whatever the comment and setup headers
// hold: the comment header is passed over without being gathered, yet refused
// exactly where ov_open refuses it; the setup header is gathered up to its
// cap, and refused where a codebook would crash Tremor. Headers that never
// end are read from a file, as a device reads them. Setup headers rewritten
// to hostile field values are refused or decode as ov_read.
#include <gtest/gtest.h>

#include <ogg/ogg.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

#include "core/decoder.h"
#include "core/packet_limit.h"
#include "support/bit_writer.h"
#include "support/host_loop.h"
#include "support/hostile_setups.h"
#include "support/ogg_pages.h"
#include "support/reference.h"
#include "support/resource_watch.h"
#include "support/source_kinds.h"
#include "support/test_data.h"

namespace {

constexpr std::size_t LARGEST_PAGE = 27 + 255 + LARGEST_PAGE_BODY;
// libogg grows the stream layer's buffer, once nearly full, by a page body
// and 1 KB; the cap is checked after a page went in.
constexpr std::size_t STORAGE_ABOVE_CAP = 2 * LARGEST_PAGE_BODY + 1024;

// What libogg holds after a stream start: the sync buffer, the stream
// layer's body and its segment tables (an int and a 64-bit granule each).
// None of them shrinks before the codec state is cleared, so after a start
// that failed, or once it succeeded, they show the most it took.
std::size_t libogg_storage(const qdx_ogg_decoder &d) {
    return static_cast<std::size_t>(d.sync.storage + d.stream.body_storage) +
           static_cast<std::size_t>(d.stream.lacing_storage) * (sizeof(int) + sizeof(ogg_int64_t));
}

// A header packet that never ends, read from a file as a device would:
// stream start must refuse it without gathering it.
class unending_header : public ::testing::Test {
protected:
    const bytes fixture = read_bytes(fixture_path("stereo44.ogg"));
    const std::vector<bytes> pages = pages_of(fixture);
    const std::uint32_t serial = serial_of(pages[0]);
    scratch_dir dir;

    std::vector<bytes> unending_pages(int count) const {
        std::vector<bytes> out;
        for (int i = 0; i < count; ++i) out.push_back(unending_page(serial, i > 0));
        return out;
    }

    decoder_ptr start_from_file(const bytes &stream) {
        write_bytes(dir.file("endless-header.ogg"), stream);
        decoder_ptr d = new_decoder();
        EXPECT_EQ(qdx_ogg_input_file_open(d.get(), dir.file("endless-header.ogg").c_str(), 0, 0), 1);
        return d;
    }
};

// A comment header whose layout holds until the end: a vendor string of
// almost 2 GB declared, then page after page of it. Only the source's end
// refuses it, and libogg holds about a page in the sync buffer and one in
// the stream layer (the part on the page where the comment began).
TEST_F(unending_header, CommentIsPassedOverAndRefusedWhereTheSourceEnds) {
    std::vector<bytes> out = {pages[0]};
    for (bytes &page : unending_pages(60)) out.push_back(page);
    bytes &first = out[1];
    const std::uint8_t comment_start[] = {3, 'v', 'o', 'r', 'b', 'i', 's', 0xF0, 0xFF, 0xFF, 0x7F};
    std::copy(std::begin(comment_start), std::end(comment_start), first.begin() + 27 + 255);
    const bytes stream = joined_pages(out);
    decoder_ptr d = start_from_file(stream);
    EXPECT_EQ(d->source1.at_end, 1);
    EXPECT_EQ(d->source1.position, stream.size());
    EXPECT_LE(libogg_storage(*d), 3 * LARGEST_PAGE);
}

// After a comment that ends, a setup header that does not: refused once it
// outgrows its cap, long before the source ends.
TEST_F(unending_header, SetupIsRefusedAtItsCap) {
    std::vector<bytes> out = {pages[0]};
    for (bytes &page : pages_for(serial, {packets_on(pages[1])[0]}, false)) out.push_back(page);
    for (bytes &page : unending_pages(60)) out.push_back(page);
    const bytes stream = joined_pages(out);
    ASSERT_GT(stream.size(), 4u * SETUP_HEADER_LIMIT);
    decoder_ptr d = start_from_file(stream);
    EXPECT_EQ(d->source1.at_end, 0);
    EXPECT_LT(d->source1.position, SETUP_HEADER_LIMIT + 2 * LARGEST_PAGE);
    EXPECT_LE(libogg_storage(*d), SETUP_HEADER_LIMIT + STORAGE_ABOVE_CAP + 2 * LARGEST_PAGE);
}

int bit_width(std::uint32_t value) {
    int width = 0;
    for (; value != 0; value >>= 1) ++width;
    return width;
}

// A setup header of a few dozen bytes whose one codebook declares 2^21 + 1
// entries in the ordered form: one of length 1, the rest of length 22.
bytes setup_with_a_huge_codebook() {
    constexpr std::uint32_t ENTRIES = (1u << 21) + 1;
    bit_writer w;
    for (const char c : std::string("\x05vorbis")) w.put(static_cast<std::uint8_t>(c), 8);
    w.put(0, 8);  // one codebook
    w.put(0x564342, 24);
    w.put(1, 16);  // dimensions
    w.put(ENTRIES, 24);
    w.put(1, 1);  // ordered
    w.put(0, 5);  // from length 1
    std::uint32_t done = 0;
    for (int length = 1; done < ENTRIES; ++length) {
        const std::uint32_t count = length == 1 ? 1 : length == 22 ? ENTRIES - 1 : 0;
        w.put(count, bit_width(ENTRIES - done));
        done += count;
    }
    w.put(0, 4);  // no value mapping
    return w.packet();
}

// Codebooks that together declare more than the budget are refused before
// Tremor allocates their tables, in every build: a start that would take
// megabytes (and, sorting the book, overflow the stack) takes next to nothing
// and is refused.
TEST(codebook_budget, AHugeCodebookIsRefusedBeforeItsTablesAreAllocated) {
    const std::vector<bytes> pages = pages_of(read_bytes(fixture_path("stereo44.ogg")));
    std::vector<bytes> out = {pages[0]};
    for (bytes &page : pages_for(serial_of(pages[0]), {packets_on(pages[1])[0], setup_with_a_huge_codebook()}, false))
        out.push_back(page);
    const bytes stream = joined_pages(out);
    ASSERT_LT(stream.size(), 8192u);
    decoder_ptr d = new_decoder();
    ASSERT_TRUE(reset_resident_peak()) << "the kernel must let the resident high-water mark be reset";
    const long before = resident_bytes();
    EXPECT_EQ(qdx_ogg_input_memory(d.get(), stream.data(), static_cast<std::uint32_t>(stream.size()), 0), 1);
    EXPECT_LT(resident_peak_bytes() - before, 1L << 20);
}

// A comment header written field by field, lengths and counts as declared,
// which need not match what follows.
class comment_writer {
public:
    comment_writer() : bytes_(COMMENT_PREFIX, COMMENT_PREFIX + sizeof COMMENT_PREFIX) {}
    comment_writer &word(std::uint32_t value) {
        for (int i = 0; i < 4; ++i) bytes_.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
        return *this;
    }
    comment_writer &text(std::size_t length) {
        bytes_.insert(bytes_.end(), length, 'c');
        return *this;
    }
    comment_writer &framing(std::uint8_t byte) {
        bytes_.push_back(byte);
        return *this;
    }
    bytes packet() const { return bytes_; }

private:
    static constexpr std::uint8_t COMMENT_PREFIX[] = {3, 'v', 'o', 'r', 'b', 'i', 's'};
    bytes bytes_;
};

struct comment_case {
    const char *name;
    bytes comment;
    bool on_first_page;  // begun on the identification header's page
    bool valid;          // what Tremor's own unpacking makes of it
};

void PrintTo(const comment_case &c, std::ostream *os) { *os << c.name; }

constexpr std::size_t COVER_ART = 20u << 20;
constexpr std::size_t OVER_PAGES = 300000;  // a comment over five pages
constexpr std::size_t SEGMENTS_IN_A_CHUNK = 30;

std::vector<comment_case> comment_cases() {
    return {
        {"cover_art", comment_writer().word(20).text(20).word(2).word(7).text(7).word(COVER_ART).text(COVER_ART).framing(1).packet(), false, true},
        {"begun_on_the_first_page", comment_writer().word(20).text(20).word(1).word(OVER_PAGES).text(OVER_PAGES).framing(1).packet(), true, true},
        {"bytes_after_the_framing_bit", comment_writer().word(0).word(1).word(OVER_PAGES).text(OVER_PAGES).framing(1).text(OVER_PAGES).packet(), false, true},
        {"framing_bit_unset", comment_writer().word(20).text(20).word(1).word(OVER_PAGES).text(OVER_PAGES).framing(0).packet(), false, false},
        {"text_past_the_packet_end", comment_writer().word(20).text(20).word(1).word(OVER_PAGES + 1).text(OVER_PAGES).framing(1).packet(), false, false},
        {"more_comments_than_the_packet_holds", comment_writer().word(20).text(20).word(3).word(OVER_PAGES).text(OVER_PAGES).framing(1).packet(), false, false},
        {"negative_vendor_length", comment_writer().word(0x80000000u).text(OVER_PAGES).word(0).framing(1).packet(), false, false},
    };
}

// stereo44.ogg with its comment header replaced, the setup header following
// it on the page where it ends.
bytes with_comment(const comment_case &c) {
    const std::vector<bytes> pages = pages_of(read_bytes(fixture_path("stereo44.ogg")));
    const std::uint32_t serial = serial_of(pages[0]);
    const bytes identification = packets_on(pages[0])[0];
    const bytes setup = packets_on(pages[1])[1];
    std::vector<bytes> out;
    if (c.on_first_page) {
        // The first page must fit in the first chunk read.
        out = pages_for(serial, {identification, c.comment, setup}, true, SEGMENTS_IN_A_CHUNK);
    } else {
        out = {pages[0]};
        for (bytes &page : pages_for(serial, {c.comment, setup}, false)) out.push_back(page);
    }
    out.insert(out.end(), pages.begin() + 2, pages.end());
    return joined_pages(out);
}

class comment_layouts : public ::testing::TestWithParam<comment_case> {};

// The stream starts exactly when ov_open accepts it, and then decodes to
// ov_read's PCM, while libogg never holds more than a few pages.
TEST_P(comment_layouts, StartExactlyWhereOvOpenDoes) {
    const comment_case &c = GetParam();
    const bytes stream = with_comment(c);
    const reference_result want = reference_decode(stream);
    ASSERT_EQ(want.opened, c.valid) << "the case must be what its name says";
    decoder_ptr d = new_decoder();
    const std::int32_t started = qdx_ogg_input_memory(d.get(), stream.data(), static_cast<std::uint32_t>(stream.size()), 0);
    EXPECT_EQ(started, c.valid ? 0 : 1);
    EXPECT_LE(libogg_storage(*d), 3 * LARGEST_PAGE);
    if (started != 0) return;
    const decode_result got = decode_to_end(d.get(), fixed_length(4096));
    EXPECT_EQ(got.fault, "");
    EXPECT_TRUE(got.pcm == want.pcm) << "PCM differs from ov_read";
    EXPECT_FALSE(got.pcm.empty());
}

INSTANTIATE_TEST_SUITE_P(, comment_layouts, ::testing::ValuesIn(comment_cases()),
                         [](const auto &info) { return std::string(info.param.name); });

// A packet's bits, least significant first as Vorbis packs them, read field
// by field.
class packed_bits {
public:
    explicit packed_bits(const bytes &packet) {
        for (std::uint8_t byte : packet)
            for (int k = 0; k < 8; ++k) bits_.push_back((byte >> k) & 1);
    }
    std::uint32_t read(int width) {
        std::uint32_t value = 0;
        for (int k = 0; k < width; ++k) value |= std::uint32_t{bits_.at(at_++)} << k;
        return value;
    }
    void skip(std::size_t width) { at_ += width; }
    std::size_t at() const { return at_; }

    // The packet with the bits from..to replaced by width zero bits.
    bytes spliced(std::size_t from, std::size_t to, std::size_t width) const {
        std::vector<std::uint8_t> out(bits_.begin(), bits_.begin() + from);
        out.insert(out.end(), width, 0);
        out.insert(out.end(), bits_.begin() + to, bits_.end());
        bytes packet((out.size() + 7) / 8, 0);
        for (std::size_t i = 0; i < out.size(); ++i) packet[i / 8] |= out[i] << (i % 8);
        return packet;
    }

private:
    std::vector<std::uint8_t> bits_;
    std::size_t at_ = 0;
};

// The setup header with its first lookup type 1 codebook given dimension 0
// and its stored values dropped, as Tremor's unpacking then expects: the
// header still unpacks, and synthesis set-up would divide by zero.
bytes with_dimension_zero_book(const bytes &setup) {
    packed_bits b(setup);
    b.skip(7 * 8);  // packet type and "vorbis"
    const std::uint32_t books = b.read(8) + 1;
    for (std::uint32_t book = 0; book < books; ++book) {
        EXPECT_EQ(b.read(24), 0x564342u) << "codebook " << book << " out of sync";
        const std::size_t dimensions_at = b.at();
        const std::uint32_t dimensions = b.read(16);
        const std::uint32_t entries = b.read(24);
        if (b.read(1)) {  // ordered lengths: runs
            b.skip(5);
            for (std::uint32_t entry = 0; entry < entries;) entry += b.read(bit_count(entries - entry));
        } else {
            const bool sparse = b.read(1);
            for (std::uint32_t entry = 0; entry < entries; ++entry)
                if (!sparse || b.read(1)) b.skip(5);
        }
        const std::uint32_t lookup_type = b.read(4);
        if (lookup_type == 0) continue;
        b.skip(2 * 32);
        const std::uint32_t value_bits = b.read(4) + 1;
        b.skip(1);
        const std::size_t values = lookup_type == 1 ? lookup1_values(entries, dimensions) : entries * dimensions;
        if (lookup_type == 1) {
            const packed_bits without_values(b.spliced(b.at(), b.at() + values * value_bits, 0));
            return without_values.spliced(dimensions_at, dimensions_at + 16, 16);
        }
        b.skip(values * value_bits);
    }
    return {};
}


// A value-mapped codebook of dimension 0 would have every Tremor build divide
// by zero while synthesis is set up: the stream is refused instead. The same
// stream with its setup header intact starts.
TEST(setup_codebooks, DimensionZeroIsRefused) {
    const std::vector<bytes> pages = pages_of(read_bytes(fixture_path("stereo44.ogg")));
    const bytes comment = packets_on(pages[1])[0];
    const bytes setup = packets_on(pages[1])[1];
    auto started = [&](const bytes &setup_header) {
        std::vector<bytes> out = {pages[0]};
        for (bytes &page : pages_for(serial_of(pages[0]), {comment, setup_header}, false)) out.push_back(page);
        out.insert(out.end(), pages.begin() + 2, pages.end());
        const bytes stream = joined_pages(out);
        decoder_ptr d = new_decoder();
        return qdx_ogg_input_memory(d.get(), stream.data(), static_cast<std::uint32_t>(stream.size()), 0);
    };
    const bytes rewritten = with_dimension_zero_book(setup);
    ASSERT_FALSE(rewritten.empty()) << "stereo44.ogg has no lookup type 1 codebook";
    EXPECT_EQ(started(setup), 0);
    EXPECT_EQ(started(rewritten), 1);
}

}  // namespace

void PrintTo(const hostile_setup &s, std::ostream *os) { *os << s.name; }

namespace {

class hostile_setups_test : public ::testing::TestWithParam<hostile_setup> {};

// Setup headers that crashed Tremor (a division by zero at start or while
// decoding), took tens of KiB of stack, or leaked: each stream is refused,
// or decodes to ov_read's PCM. Our patched Tremor also decodes each one
// through ov_read, past what stream start checks first; Debian's packaged
// Tremor is only handed what stream start lets through.
TEST_P(hostile_setups_test, AreRefusedOrDecodeAsOvRead) {
    const hostile_setup &s = GetParam();
#ifdef VELMORA_TREMOR_PATCHED
    const reference_result want = reference_decode(s.stream);
#endif
    decoder_ptr d = new_decoder();
    const std::int32_t started =
        qdx_ogg_input_memory(d.get(), s.stream.data(), static_cast<std::uint32_t>(s.stream.size()), 0);
    ASSERT_TRUE(started == 0 || started == 1) << started;
    if (started != 0) return;
    const decode_result got = decode_to_end(d.get(), fixed_length(4096));
    EXPECT_EQ(got.fault, "");
#ifndef VELMORA_TREMOR_PATCHED
    const reference_result want = reference_decode(s.stream);
#endif
    EXPECT_TRUE(got.pcm == want.pcm) << "PCM differs from ov_read";
}

INSTANTIATE_TEST_SUITE_P(, hostile_setups_test, ::testing::ValuesIn(hostile_setups()),
                         [](const auto &info) { return info.param.name; });

// A comment header where the setup header should be: the stream is refused,
// and starting it again and again leaves nothing behind; so does ov_open of
// our Tremor.
TEST(second_comment_header, IsRefusedAndLeavesNothing) {
    const bytes stream = comment_header_twice().stream;
    auto start = [&] {
        decoder_ptr d = new_decoder();
        EXPECT_EQ(qdx_ogg_input_memory(d.get(), stream.data(), static_cast<std::uint32_t>(stream.size()), 0), 1);
    };
    EXPECT_LT(heap_left_by(start, 400), HEAP_NOISE_BYTES);
#ifdef VELMORA_TREMOR_PATCHED
    // Our Tremor, handed the second comment header, refuses it too.
    auto open = [&] { EXPECT_FALSE(reference_decode(stream).opened); };
    EXPECT_LT(heap_left_by(open, 400), HEAP_NOISE_BYTES);
#endif
}

}  // namespace
