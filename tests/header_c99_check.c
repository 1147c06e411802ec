/* The public header as a C99 host includes it: compiled as strict C99 with
 * every warning an error, using each type and the signatures of the exports.
 * Built, never run. */
#include "velmora.h"

#include <stddef.h>

typedef char format_record_is_18_bytes[sizeof(qdx_ogg_wave_format) == 18 ? 1 : -1];

int32_t header_c99_host_loop(const void *ogg, uint32_t size);

int32_t header_c99_host_loop(const void *ogg, uint32_t size) {
    static char pcm[4096 + QDX_OGG_MAX_OVERRUN];
    char banner[QDX_OGG_VERSION_BYTES];
    qdx_ogg_decoder *decoder = qdx_ogg_create();
    const qdx_ogg_wave_format *format;
    int32_t played = 0;

    qdx_ogg_velm_ver(banner);
    if (decoder == NULL || qdx_ogg_input_memory(decoder, ogg, size, 0) != 0) {
        qdx_ogg_free(decoder);
        return -1;
    }
    format = qdx_ogg_pcm_format(decoder);
    if (format->nChannels == 0 || format->wBitsPerSample != 16) played = -1;
    while (played >= 0 && !qdx_ogg_eof(decoder)) played += qdx_ogg_process_frame(decoder, pcm, 4096);
    qdx_ogg_free(decoder);
    return played;
}
