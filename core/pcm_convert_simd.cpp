// SIMD conversion: the shift and the clamp are one saturating narrowing step
// (SSE2 packs after an arithmetic shift; NEON's vqshrn), and interleaving is
// done in registers (NEON: channel counts other than one, two and, on 32-bit
// ARM, six store lane by lane). The last few frames of a batch take the portable loop.
#include "core/pcm_convert.h"

#include <cstring>

namespace {

// The frames from `done` on, which the SIMD loops leave to the portable loop.
[[maybe_unused]] void convert_rest_portably(std::int16_t *out, const std::int32_t *const *pcm, int channels,
                           int n, int done) {
    if (done == n) return;
    const std::int32_t *rest[256];  // a Vorbis stream has at most 255 channels
    for (int i = 0; i < channels; ++i) rest[i] = pcm[i] + done;
    convert_pcm_portable(out + done * channels, rest, channels, n - done);
}

}  // namespace

#if defined(__SSE2__)
#include <emmintrin.h>

namespace {

inline __m128i load_shifted(const std::int32_t *p) {
    return _mm_srai_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i *>(p)), 9);
}

inline void store8(std::int16_t *out, __m128i v) {
    _mm_storeu_si128(reinterpret_cast<__m128i *>(out), v);
}

int convert_mono(std::int16_t *out, const std::int32_t *in, int n) {
    int j = 0;
    for (; j + 8 <= n; j += 8) {
        store8(out + j, _mm_packs_epi32(load_shifted(in + j), load_shifted(in + j + 4)));
    }
    return j;
}

int convert_stereo(std::int16_t *out, const std::int32_t *left,
                   const std::int32_t *right, int n) {
    int j = 0;
    for (; j + 4 <= n; j += 4) {
        const __m128i l = load_shifted(left + j);
        const __m128i r = load_shifted(right + j);
        // L0 R0 L1 R1 | L2 R2 L3 R3, then saturated to 16 bits in that order.
        store8(out + 2 * j, _mm_packs_epi32(_mm_unpacklo_epi32(l, r), _mm_unpackhi_epi32(l, r)));
    }
    return j;
}

inline void store_unit(std::int16_t *out, __m128i v) {
    const std::int32_t unit = _mm_cvtsi128_si32(v);
    std::memcpy(out, &unit, sizeof unit);
}

// Channels i and i + 1 of four frames: interleaved and narrowed as in the
// stereo path, then each frame's pair stored as one 32-bit unit.
void convert_channel_pair(std::int16_t *out, const std::int32_t *a, const std::int32_t *b,
                          int channels) {
    const __m128i x = load_shifted(a);
    const __m128i y = load_shifted(b);
    __m128i pairs = _mm_packs_epi32(_mm_unpacklo_epi32(x, y), _mm_unpackhi_epi32(x, y));
    for (int k = 0; k < 4; ++k, pairs = _mm_srli_si128(pairs, 4)) {
        store_unit(out + k * channels, pairs);
    }
}

// The last channel of an odd count, four frames.
void convert_lone_channel(std::int16_t *out, const std::int32_t *a, int channels) {
    const __m128i x = load_shifted(a);
    const __m128i narrowed = _mm_packs_epi32(x, x);
    out[0] = static_cast<std::int16_t>(_mm_extract_epi16(narrowed, 0));
    out[channels] = static_cast<std::int16_t>(_mm_extract_epi16(narrowed, 1));
    out[2 * channels] = static_cast<std::int16_t>(_mm_extract_epi16(narrowed, 2));
    out[3 * channels] = static_cast<std::int16_t>(_mm_extract_epi16(narrowed, 3));
}

// Any other channel count, four frames per step, two channels at a time.
int convert_multichannel(std::int16_t *out, const std::int32_t *const *pcm, int channels, int n) {
    int j = 0;
    for (; j + 4 <= n; j += 4) {
        std::int16_t *frames = out + j * channels;
        int i = 0;
        for (; i + 2 <= channels; i += 2) {
            convert_channel_pair(frames + i, pcm[i] + j, pcm[i + 1] + j, channels);
        }
        if (i < channels) convert_lone_channel(frames + i, pcm[i] + j, channels);
    }
    return j;
}

void convert_sse2(std::int16_t *out, const std::int32_t *const *pcm, int channels, int n) {
    int done = 0;
    if (channels == 1) {
        done = convert_mono(out, pcm[0], n);
    } else if (channels == 2) {
        done = convert_stereo(out, pcm[0], pcm[1], n);
    } else {
        done = convert_multichannel(out, pcm, channels, n);
    }
    convert_rest_portably(out, pcm, channels, n, done);
}

}  // namespace

pcm_converter simd_pcm_converter() { return convert_sse2; }

#elif defined(__ARM_NEON)
#include <arm_neon.h>

namespace {

// vqshrn shifts right by 9 without rounding and saturates to 16 bits: the
// portable clamp_sample, four samples at a time.
inline int16x4_t narrow4(const std::int32_t *p) { return vqshrn_n_s32(vld1q_s32(p), 9); }

// Eight frames per step, walking pointers so that loads and stores use
// post-incremented addressing.
int convert_mono(std::int16_t *out, const std::int32_t *in, int n) {
    for (int blocks = n / 8; blocks > 0; --blocks, in += 8, out += 8) {
        vst1_s16(out, narrow4(in));
        vst1_s16(out + 4, narrow4(in + 4));
    }
    return n / 8 * 8;
}

// vst2 interleaves the two halves of a register pair, left then right, so the
// narrowed samples are stored as they are, with no shuffles.
int convert_stereo(std::int16_t *out, const std::int32_t *left,
                   const std::int32_t *right, int n) {
    for (int blocks = n / 8; blocks > 0; --blocks, left += 8, right += 8, out += 16) {
        const int16x4x2_t first = {{narrow4(left), narrow4(right)}};
        const int16x4x2_t second = {{narrow4(left + 4), narrow4(right + 4)}};
        vst2_s16(out, first);
        vst2_s16(out + 8, second);
    }
    return n / 8 * 8;
}

// Other channel counts (quad, 7.1 and the like): each channel is narrowed
// four samples at a time and its lanes stored a frame apart, the pointer
// stepping one frame after each store (post-incremented by a register).
int convert_strided(std::int16_t *out, const std::int32_t *const *pcm, int channels, int n) {
    for (int i = 0; i < channels; ++i) {
        const std::int32_t *in = pcm[i];
        std::int16_t *to = out + i;
        for (int blocks = n / 4; blocks > 0; --blocks, in += 4) {
            const int16x4_t v = narrow4(in);
            vst1_lane_s16(to, v, 0);
            to += channels;
            vst1_lane_s16(to, v, 1);
            to += channels;
            vst1_lane_s16(to, v, 2);
            to += channels;
            vst1_lane_s16(to, v, 3);
            to += channels;
        }
    }
    return n / 4 * 4;
}

#if !defined(__aarch64__)
// Two channels' samples of four frames as 32-bit units, one frame's pair
// each (the first channel in the low half). vqshl #7 saturates x*128 to 32
// bits, whose top half is then clamp_sample(x): x>>9 where x*128 fits, the
// limit of its sign where it does not (exactly where x>>9 leaves the 16-bit
// range); vsri puts the first channel's top half under the second's.
inline uint32x4_t sample_pairs(const std::int32_t *a, const std::int32_t *b) {
    const uint32x4_t low = vreinterpretq_u32_s32(vqshlq_n_s32(vld1q_s32(a), 7));
    const uint32x4_t high = vreinterpretq_u32_s32(vqshlq_n_s32(vld1q_s32(b), 7));
    return vsriq_n_u32(high, low, 16);
}

// Six channels (5.1), four frames a step: channels 0-1, 2-3 and 4-5 paired
// into 32-bit units, which vst3.32 interleaves a frame (three units) at a
// time, where lane stores would take one instruction a sample. NEON
// structure stores of 32-bit elements need no alignment on ARMv7 and later
// (a host's frames may start at any 2-byte boundary).
int convert_six(std::int16_t *out, const std::int32_t *const *pcm, int n) {
    const std::int32_t *c0 = pcm[0], *c1 = pcm[1], *c2 = pcm[2], *c3 = pcm[3], *c4 = pcm[4], *c5 = pcm[5];
    for (int blocks = n / 4; blocks > 0; --blocks, out += 24) {
        const uint32x4x3_t frames = {{sample_pairs(c0, c1), sample_pairs(c2, c3), sample_pairs(c4, c5)}};
        vst3q_u32(reinterpret_cast<std::uint32_t *>(out), frames);
        c0 += 4, c1 += 4, c2 += 4, c3 += 4, c4 += 4, c5 += 4;
    }
    return n / 4 * 4;
}
#endif

void convert_neon(std::int16_t *out, const std::int32_t *const *pcm, int channels, int n) {
    int done;
    if (channels == 1) {
        done = convert_mono(out, pcm[0], n);
    } else if (channels == 2) {
        done = convert_stereo(out, pcm[0], pcm[1], n);
#if !defined(__aarch64__)
    } else if (channels == 6) {
        done = convert_six(out, pcm, n);
#endif
    } else {
        done = convert_strided(out, pcm, channels, n);
    }
    convert_rest_portably(out, pcm, channels, n, done);
}

}  // namespace

pcm_converter simd_pcm_converter() { return convert_neon; }

#else

pcm_converter simd_pcm_converter() { return nullptr; }

#endif

void convert_pcm(std::int16_t *out, const std::int32_t *const *pcm, int channels, int n) {
#if defined(__SSE2__)
    convert_sse2(out, pcm, channels, n);
#elif defined(__ARM_NEON)
    convert_neon(out, pcm, channels, n);
#else
    convert_pcm_portable(out, pcm, channels, n);
#endif
}
