// PCM conversion: the shift and clamp of one sample, and every variant of
// the batch conversion agreeing bit for bit, writing exactly n frames.
#include "core/pcm_convert.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <random>
#include <vector>

namespace {

// Fixed-point samples carry the 16-bit value 9 bits up; full scale is 2^24.
TEST(ClampSample, ShiftsAndClamps) {
    const std::int32_t in[] = {16777215, 16777216, -1, -511, 511, 512, -16777216, -16777728};
    const std::int16_t want[] = {32767, 32767, -1, -1, 0, 1, -32768, -32768};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(clamp_sample(in[i]), want[i]) << in[i];

    // The same table through every batch conversion, as one mono batch.
    const std::int32_t *channels[] = {in};
    std::vector<pcm_converter> variants = {convert_pcm_portable, convert_pcm};
    if (simd_pcm_converter() != nullptr) variants.push_back(simd_pcm_converter());
    for (pcm_converter convert : variants) {
        std::int16_t out[8] = {};
        convert(out, channels, 1, 8);
        for (int i = 0; i < 8; ++i) EXPECT_EQ(out[i], want[i]) << in[i];
    }
}

TEST(ClampSample, ExtremesOfTheInt32Range) {
    EXPECT_EQ(clamp_sample(INT32_MAX), 32767);
    EXPECT_EQ(clamp_sample(INT32_MIN), -32768);
    EXPECT_EQ(clamp_sample(32767 << 9), 32767);
    EXPECT_EQ(clamp_sample(-32768 * 512), -32768);
    EXPECT_EQ(clamp_sample(-32769 * 512), -32768);
}

// Samples from the whole int32 range, with many near the edges that matter:
// the clamp limits and the rounding of the shift.
std::int32_t random_sample(std::mt19937 &rng) {
    static const std::int32_t edges[] = {INT32_MIN, INT32_MAX, 0,           -1,          1,
                                         511,       512,       -511,        -512,        -513,
                                         16777215,  16777216,  16777217,    -16777216,   -16777217,
                                         -16777728, -16777729, 32767 * 512, -32768 * 512};
    switch (rng() % 4) {
        case 0: return edges[rng() % (sizeof edges / sizeof edges[0])];
        case 1:
            return static_cast<std::int32_t>(rng() % (1u << 26)) - (1 << 25);  // around full scale
        default: return static_cast<std::int32_t>(rng());                      // anything
    }
}

constexpr std::int16_t GUARD = 0x7E5A;
constexpr std::size_t GUARD_WORDS = 16;

// One conversion into a buffer fenced by guard words; the channel arrays
// are exactly n long (so AddressSanitizer sees any read past them) and
// start one sample in when misaligned, as do the output frames.
struct fenced_conversion {
    fenced_conversion(const std::vector<std::vector<std::int32_t>> &samples, int n, bool misaligned)
        : channels(static_cast<int>(samples.size())), n(n), skew(misaligned ? 1 : 0) {
        for (const auto &channel : samples) pointers.push_back(channel.data() + skew);
    }

    std::vector<std::int16_t> run(pcm_converter convert) const {
        std::vector<std::int16_t> out(
            skew + static_cast<std::size_t>(n) * channels + 2 * GUARD_WORDS, GUARD);
        convert(out.data() + GUARD_WORDS + skew, pointers.data(), channels, n);
        return out;
    }

    bool fences_intact(const std::vector<std::int16_t> &out) const {
        const std::size_t first = GUARD_WORDS + skew;
        const std::size_t last = first + static_cast<std::size_t>(n) * channels;
        for (std::size_t i = 0; i < out.size(); ++i) {
            if ((i < first || i >= last) && out[i] != GUARD) return false;
        }
        return true;
    }

    int channels;
    int n;
    std::size_t skew;
    std::vector<const std::int32_t *> pointers;
};

std::vector<std::vector<std::int32_t>> random_channels(std::mt19937 &rng, int channels, int n,
                                                       int skew) {
    std::vector<std::vector<std::int32_t>> samples(static_cast<std::size_t>(channels));
    for (auto &channel : samples) {
        channel.resize(static_cast<std::size_t>(n + skew));
        for (std::int32_t &s : channel) s = random_sample(rng);
    }
    return samples;
}

// The portable loop against the definition, and every other variant against
// the portable loop, for every channel count a SIMD path might special-case
// and every length around its vector widths.
TEST(ConvertBatch, VariantsAgreeBitForBit) {
    std::mt19937 rng(20081024);
    std::vector<int> lengths;
    for (int n = 0; n <= 40; ++n) lengths.push_back(n);
    for (int n : {1365, 2730, 4096, 8191, 8192}) lengths.push_back(n);

    for (int channels = 1; channels <= 8; ++channels) {
        for (int n : lengths) {
            for (bool misaligned : {false, true}) {
                const auto samples = random_channels(rng, channels, n, misaligned ? 1 : 0);
                const fenced_conversion conversion(samples, n, misaligned);
                const std::vector<std::int16_t> portable = conversion.run(convert_pcm_portable);
                ASSERT_TRUE(conversion.fences_intact(portable)) << channels << " ch, n " << n;
                for (int j = 0; j < n; ++j) {
                    for (int i = 0; i < channels; ++i) {
                        const std::int32_t v = samples[i][j + conversion.skew] >> 9;
                        const std::int32_t want = std::clamp(v, -32768, 32767);
                        ASSERT_EQ(portable[GUARD_WORDS + conversion.skew + j * channels + i], want)
                            << channels << " ch, n " << n << ", frame " << j << ", channel " << i;
                    }
                }
                std::vector<pcm_converter> others = {convert_pcm};
                if (simd_pcm_converter() != nullptr) others.push_back(simd_pcm_converter());
                for (pcm_converter convert : others) {
                    const std::vector<std::int16_t> out = conversion.run(convert);
                    ASSERT_TRUE(conversion.fences_intact(out)) << channels << " ch, n " << n;
                    ASSERT_TRUE(out == portable)
                        << channels << " ch, n " << n << (misaligned ? ", misaligned" : "");
                }
            }
        }
    }
}

}  // namespace
