// The refill step on memory sources: chunk sizes, the end of the source, and
// which of two sources it reads.
#include "input/refill.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "core/decoder.h"
#include "core_helpers.h"

namespace {

// Bytes that vary, so a chunk copied from the wrong place shows, and that
// hold no 'O', so the sync layer skips them all as junk.
std::vector<std::uint8_t> junk(std::size_t size) {
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) {
        const auto b = static_cast<std::uint8_t>((i * 7 + i / 251) % 251);
        bytes[i] = b == 'O' ? 0 : b;
    }
    return bytes;
}

// A fresh record whose first source is described by hand, without the
// stream start that the input functions would run.
class MemoryRefill : public testing::Test {
protected:
    void describe(const std::vector<std::uint8_t> &bytes) {
        qdx_ogg_source &s = d->source1;
        s.kind = SRC_MEMORY;
        s.data = bytes.empty() ? nullptr : bytes.data();
        s.end = size32(bytes);
    }
    // Bytes the sync layer holds and has not handed out.
    std::vector<std::uint8_t> buffered() const {
        const ogg_sync_state &sync = d->sync;
        if (sync.data == nullptr) return {};
        return {sync.data + sync.returned, sync.data + sync.fill};
    }

    decoder_handle d = new_decoder();
};

TEST_F(MemoryRefill, EmptyBlockEndsWithoutAskingForABuffer) {
    const std::vector<std::uint8_t> block;
    describe(block);
    EXPECT_EQ(refill(*d), 0u);
    EXPECT_EQ(d->source1.at_end, 1);
    EXPECT_EQ(d->sync.data, nullptr);
    EXPECT_EQ(d->sync.storage, 0);
}

TEST_F(MemoryRefill, OneByteOverAChunk) {
    const std::vector<std::uint8_t> block = junk(8193);
    describe(block);
    EXPECT_EQ(refill(*d), 8192u);
    EXPECT_EQ(refill(*d), 1u);
    EXPECT_EQ(d->source1.at_end, 0);
    EXPECT_EQ(d->source1.position, 8193u);
    EXPECT_TRUE(buffered() == block);
    EXPECT_EQ(refill(*d), 0u);
    EXPECT_EQ(d->source1.at_end, 1);
}

TEST_F(MemoryRefill, TwoWholeChunks) {
    const std::vector<std::uint8_t> block = junk(16384);
    describe(block);
    EXPECT_EQ(refill(*d), 8192u);
    EXPECT_EQ(refill(*d), 8192u);
    EXPECT_EQ(d->source1.at_end, 0);  // the last byte is delivered, the end not yet seen
    EXPECT_TRUE(buffered() == block);
    EXPECT_EQ(refill(*d), 0u);
    EXPECT_EQ(d->source1.at_end, 1);
    EXPECT_EQ(d->source1.position, 16384u);
}

// At the end, a refill must not even ask the sync layer for a buffer: that
// request would shift out the bytes it has already handed out.
TEST_F(MemoryRefill, AtEndLeavesTheSyncLayerAlone) {
    const std::vector<std::uint8_t> block = junk(100);
    describe(block);
    ASSERT_EQ(refill(*d), 100u);
    ASSERT_EQ(refill(*d), 0u);
    ogg_page page;
    ASSERT_LT(ogg_sync_pageout(&d->sync, &page), 0);  // all 100 bytes skipped as junk
    ASSERT_EQ(d->sync.returned, 100);

    const ogg_sync_state before = d->sync;
    for (int i = 0; i < 3; ++i) EXPECT_EQ(refill(*d), 0u);
    EXPECT_EQ(std::memcmp(&before, &d->sync, sizeof before), 0);
    EXPECT_EQ(d->source1.position, 100u);
    EXPECT_EQ(d->source1.at_end, 1);
}

// The flag alone decides: a source marked at its end is not read again,
// whatever its position says, until an input or replay clears the flag.
TEST_F(MemoryRefill, AtEndFlagStopsReadingBeforeTheEnd) {
    const std::vector<std::uint8_t> block = junk(100);
    describe(block);
    d->source1.at_end = 1;
    EXPECT_EQ(refill(*d), 0u);
    EXPECT_EQ(d->source1.position, 0u);
    EXPECT_EQ(d->sync.data, nullptr);
    EXPECT_EQ(d->sync.storage, 0);
}

TEST_F(MemoryRefill, NullBlockDeliversNothing) {
    d->source1.kind = SRC_MEMORY;
    d->source1.data = nullptr;
    d->source1.end = 100;
    EXPECT_EQ(refill(*d), 0u);
    EXPECT_EQ(d->source1.at_end, 1);
    EXPECT_EQ(d->source1.position, 0u);
    EXPECT_TRUE(buffered().empty());
}

// With two blocks, refills read the first only, until replay switches to
// the second; then the second only.
TEST(TwoBlockRefill, ReadsTheSecondOnlyOnceSwitched) {
    const std::vector<std::uint8_t> first = read_bytes(fixture_path("stereo44.ogg"));
    const std::vector<std::uint8_t> second = read_bytes(fixture_path("mono44.ogg"));
    decoder_handle d = new_decoder();
    ASSERT_EQ(qdx_ogg_input_memory2(d.get(), first.data(), size32(first), second.data(),
                                    size32(second), 0),
              0);
    EXPECT_EQ(d->source1.position, 8192u);
    EXPECT_EQ(d->source2.position, 0u);

    while (refill(*d) != 0) {
    }
    EXPECT_EQ(d->source1.position, size32(first));
    EXPECT_EQ(d->source1.at_end, 1);
    EXPECT_EQ(d->source2.position, 0u);
    EXPECT_EQ(d->source2.at_end, 0);

    d->use_second = 1;
    const long filled = d->sync.fill;
    EXPECT_EQ(refill(*d), 8192u);
    EXPECT_EQ(d->source2.position, 8192u);
    EXPECT_EQ(d->source1.position, size32(first));
    EXPECT_EQ(std::memcmp(d->sync.data + filled, second.data(), 8192), 0);
}

}  // namespace
