// Fixed-point synthesis output to interleaved 16-bit PCM: each 32-bit sample
// carries its 16-bit value 9 bits up; shift it down arithmetically and clamp
// to 16 bits. Every variant gives bit-identical output.
#ifndef VELMORA_PCM_CONVERT_H
#define VELMORA_PCM_CONVERT_H

#include <cstdint>

// Converts n samples of each of channels arrays into out, frame by frame:
// out[j * channels + i] = clamp16(pcm[i][j] >> 9).
using pcm_converter = void (*)(std::int16_t *out, const std::int32_t *const *pcm,
                               int channels, int n);

// The fastest variant this build has.
void convert_pcm(std::int16_t *out, const std::int32_t *const *pcm, int channels, int n);

// The plain loop, kept for cores without SIMD and as the reference for tests.
void convert_pcm_portable(std::int16_t *out, const std::int32_t *const *pcm,
                          int channels, int n);

// The SIMD variant of this build (SSE2 on x86, NEON on ARM), or null.
pcm_converter simd_pcm_converter();

inline std::int16_t clamp_sample(std::int32_t fixed) {
    const std::int32_t v = fixed >> 9;
    return static_cast<std::int16_t>(v > 32767 ? 32767 : v < -32768 ? -32768 : v);
}

#endif  // VELMORA_PCM_CONVERT_H
