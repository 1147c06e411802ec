// The cap on what the stream layer gathers for one packet: a packet that
// never ends (page after page continuing it) must not grow the decoder's
// memory past the cap and one page, and decoding must go on after it. And
// the cap must never drop a legal packet.
#include <gtest/gtest.h>

#include <ogg/ogg.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "core/decoder.h"
#include "core/packet_limit.h"
#include "support/ogg_pages.h"
#include "support/reference.h"
#include "support/source_kinds.h"
#include "support/test_data.h"

namespace {

// The cap is checked once a page's packets are out, so at most one page
// more than the cap is gathered. libogg then grows its buffer, once nearly
// full, by the page's body plus 1 KB on top of what it had: the storage may
// reach the cap, two page bodies and 1 KB.
constexpr std::size_t STORAGE_ABOVE_CAP = 2 * LARGEST_PAGE_BODY + 1024;

// The fixture with an endless packet of `junk_pages` pages put in before
// page `at`.
bytes with_unending_packet(const bytes &fixture, std::size_t at, int junk_pages) {
    const std::vector<bytes> pages = pages_of(fixture);
    std::vector<bytes> out(pages.begin(), pages.begin() + at);
    for (int i = 0; i < junk_pages; ++i) out.push_back(unending_page(serial_of(pages[0]), i > 0));
    out.insert(out.end(), pages.begin() + at, pages.end());
    return joined_pages(out);
}

struct bounded_decode {
    bytes pcm;
    std::size_t peak_body_storage = 0;
    std::size_t limit = 0;
    bool reached_eof = false;
};

// Decodes from memory, watching the stream layer's storage after every call.
bounded_decode decode_watching_storage(const bytes &stream) {
    bounded_decode r;
    decoder_ptr d = new_decoder();
    EXPECT_EQ(qdx_ogg_input_memory(d.get(), stream.data(), static_cast<std::uint32_t>(stream.size()), 0), 0);
    r.limit = packet_byte_limit(*d);
    bytes buffer(4096 + QDX_OGG_MAX_OVERRUN);
    for (int calls = 0; calls < 100000 && !qdx_ogg_eof(d.get()); ++calls) {
        const std::int32_t got = qdx_ogg_process_frame(d.get(), buffer.data(), 4096);
        r.pcm.insert(r.pcm.end(), buffer.begin(), buffer.begin() + got);
        r.peak_body_storage = std::max(r.peak_body_storage, static_cast<std::size_t>(d->stream.body_storage));
    }
    r.reached_eof = qdx_ogg_eof(d.get()) == 1;
    return r;
}

class unending_packet : public ::testing::TestWithParam<std::string> {
protected:
    const bytes fixture = read_bytes(fixture_path(GetParam()));
};

// The endless packet between the headers and the first audio page (page 2
// in every fixture used here): once it is dropped, the audio that follows
// decodes exactly as the fixture itself does.
TEST_P(unending_packet, AfterTheHeadersStaysUnderTheCapAndTheAudioAfterItIsExact) {
    const bytes stream = with_unending_packet(fixture, 2, 60);
    const bounded_decode r = decode_watching_storage(stream);
    ASSERT_GT(60 * LARGEST_PAGE_BODY, 10 * r.limit) << "the packet must dwarf the cap";
    EXPECT_LE(r.peak_body_storage, r.limit + STORAGE_ABOVE_CAP);
    EXPECT_TRUE(r.reached_eof);
    EXPECT_EQ(r.pcm, reference_decode(fixture).pcm);
}

// In the middle of the audio the packets on both sides of it do not overlap
// as they would have, so only the amount of audio after it is checked.
TEST_P(unending_packet, MidStreamStaysUnderTheCapAndDecodingGoesOn) {
    const bytes stream = with_unending_packet(fixture, 4, 60);
    const bounded_decode r = decode_watching_storage(stream);
    EXPECT_LE(r.peak_body_storage, r.limit + STORAGE_ABOVE_CAP);
    EXPECT_TRUE(r.reached_eof);
    const std::size_t whole = reference_decode(fixture).pcm.size();
    // At most the two packets around the join are lost: two long blocks.
    const std::size_t frame = 2 * static_cast<std::size_t>(reference_decode(fixture).channels);
    EXPECT_GE(r.pcm.size() + 2 * 8192 * frame, whole);
}

INSTANTIATE_TEST_SUITE_P(, unending_packet, ::testing::Values("mono44.ogg", "stereo44.ogg", "six48.ogg"),
                         [](const auto &info) { return info.param.substr(0, info.param.find('.')); });

// A long block's packet codes half a block of residue values per channel, in
// up to 8 passes of at most one 32-bit codeword per value, and may be padded
// by up to a page: the cap must hold that much. (No fixture has a packet that
// large, so decoding them would not tell a cap sized from the short block.)
TEST(packet_limit, HoldsTheDensestLongBlockPacketAndAPageOfPadding) {
    for (const char *file : {"mono44.ogg", "stereo44.ogg", "six48.ogg"}) {
        const bytes stream = read_bytes(fixture_path(file));
        decoder_ptr d = new_decoder();
        ASSERT_EQ(qdx_ogg_input_memory(d.get(), stream.data(), static_cast<std::uint32_t>(stream.size()), 0), 0);
        const std::size_t long_block = static_cast<std::size_t>(vorbis_info_blocksize(&d->info, 1));
        ASSERT_GT(long_block, static_cast<std::size_t>(vorbis_info_blocksize(&d->info, 0))) << file;
        const std::size_t densest = static_cast<std::size_t>(d->info.channels) * (long_block / 2) * 8 * 4;
        EXPECT_GE(packet_byte_limit(*d), densest + LARGEST_PAGE_BODY) << file;
    }
}

// The most a legal stream leaves gathered in the stream layer at the end of
// a page (a packet that goes on to the next page), read with libogg alone:
// what the cap is compared with. The header packets are left out: the cap
// is known only once they are read, and they have bounds of their own.
std::size_t largest_partial_audio_packet(const bytes &stream) {
    ogg_sync_state sync;
    ogg_stream_state os;
    ogg_page page;
    ogg_packet packet;
    ogg_sync_init(&sync);
    char *into = ogg_sync_buffer(&sync, static_cast<long>(stream.size()));
    std::memcpy(into, stream.data(), stream.size());
    ogg_sync_wrote(&sync, static_cast<long>(stream.size()));
    bool first = true;
    int packets = 0;
    std::size_t largest = 0;
    while (ogg_sync_pageout(&sync, &page) == 1) {
        if (first) ogg_stream_init(&os, ogg_page_serialno(&page));
        first = false;
        ogg_stream_pagein(&os, &page);
        while (ogg_stream_packetout(&os, &packet) == 1) ++packets;
        if (packets >= 3)
            largest = std::max(largest, static_cast<std::size_t>(os.body_fill - os.body_returned));
    }
    if (!first) ogg_stream_clear(&os);
    ogg_sync_clear(&sync);
    return largest;
}

TEST(packet_limit, NeverDropsAPacketOfALegalStream) {
    std::vector<std::string> files = {fixture_path("mono44.ogg"), fixture_path("stereo44.ogg"),
                                      fixture_path("six48.ogg"), fixture_path("sample.ogg"),
                                      fixture_path("three.ogg")};
    for (const std::string &file : ogg_files_in(shared_testdata_dir("vorbis-vectors"))) files.push_back(file);
    for (const std::string &file : files) {
        const bytes stream = read_bytes(file);
        decoder_ptr d = new_decoder();
        if (qdx_ogg_input_memory(d.get(), stream.data(), static_cast<std::uint32_t>(stream.size()), 0) != 0) {
            continue;  // a vector this decoder refuses has no packets to keep
        }
        EXPECT_LE(largest_partial_audio_packet(stream), packet_byte_limit(*d)) << file;
    }
}

}  // namespace
