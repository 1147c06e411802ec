// SIMD conversion: the shift and the clamp are one saturating narrowing step
// (SSE2 packs after an arithmetic shift; NEON's vqshrn), and interleaving is
// done in registers, eight frames at a time. Channel counts other than one and
// two, and the last few frames of a batch, take the portable loop.
#include "api/pcm_convert.h"

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

void convert_sse2(std::int16_t *out, const std::int32_t *const *pcm, int channels, int n) {
    int done = 0;
    if (channels == 1) {
        done = convert_mono(out, pcm[0], n);
    } else if (channels == 2) {
        done = convert_stereo(out, pcm[0], pcm[1], n);
    }
    if (done == n) return;
    const std::int32_t *rest[256];
    for (int i = 0; i < channels; ++i) rest[i] = pcm[i] + done;
    convert_pcm_portable(out + done * channels, rest, channels, n - done);
}

}  // namespace

pcm_converter simd_pcm_converter() { return convert_sse2; }

#elif defined(__ARM_NEON)
#include <arm_neon.h>

namespace {

inline int16x8_t narrow8(const std::int32_t *p) {
    return vcombine_s16(vqshrn_n_s32(vld1q_s32(p), 9), vqshrn_n_s32(vld1q_s32(p + 4), 9));
}

void convert_neon(std::int16_t *out, const std::int32_t *const *pcm, int channels, int n) {
    int j = 0;
    if (channels == 1) {
        for (; j + 8 <= n; j += 8) vst1q_s16(out + j, narrow8(pcm[0] + j));
    } else if (channels == 2) {
        for (; j + 8 <= n; j += 8) {
            int16x8x2_t frames = {{narrow8(pcm[0] + j), narrow8(pcm[1] + j)}};
            vst2q_s16(out + 2 * j, frames);
        }
    }
    if (j == n) return;
    const std::int32_t *rest[256];
    for (int i = 0; i < channels; ++i) rest[i] = pcm[i] + j;
    convert_pcm_portable(out + j * channels, rest, channels, n - j);
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
