#include "core/pcm_convert.h"

// Mono and stereo get loops of their own: they are nearly every stream, and
// fixed strides let the compiler keep everything in registers.
void convert_pcm_portable(std::int16_t *out, const std::int32_t *const *pcm,
                          int channels, int n) {
    if (channels == 1) {
        const std::int32_t *mono = pcm[0];
        for (int j = 0; j < n; ++j) out[j] = clamp_sample(mono[j]);
    } else if (channels == 2) {
        const std::int32_t *left = pcm[0];
        const std::int32_t *right = pcm[1];
        for (int j = 0; j < n; ++j) {
            out[2 * j] = clamp_sample(left[j]);
            out[2 * j + 1] = clamp_sample(right[j]);
        }
    } else {
        for (int i = 0; i < channels; ++i) {
            const std::int32_t *in = pcm[i];
            std::int16_t *to = out + i;
            for (int j = 0; j < n; ++j) to[j * channels] = clamp_sample(in[j]);
        }
    }
}
