/* The README's pull-model callback, as it stands there, called the way SDL
 * calls it: a fixed length each time, into a buffer with guard bytes after
 * it that must stay untouched. What it hands out must be velmora-decode's
 * PCM, then silence to the end of the last buffer.
 * Usage: readme_pull_callback FILE.ogg EXPECTED.pcm LENGTH */
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include "host_support.h"

#include "pull_callback.inc"

enum { GUARD_BYTES = 64, GUARD = 0xA5 };

static int guard_intact(const uint8_t *buffer, int length)
{
    for (int i = length; i < length + GUARD_BYTES; ++i) {
        if (buffer[i] != GUARD) return 0;
    }
    return 1;
}

int main(int argc, char **argv)
{
    static struct pull_state state;
    struct pcm_sink played = {0};
    if (argc != 4) return 2;
    const int length = atoi(argv[3]);
    uint8_t *buffer = malloc((size_t)length + GUARD_BYTES);
    state.dec = qdx_ogg_create();
    if (length < 1 || !buffer || !state.dec || qdx_ogg_input_file_open(state.dec, argv[1], 0, 0) != 0) return 2;
    int same = 1;
    /* Until the decoder has nothing left, as the callback sees it. */
    for (long call = 0; same && !(qdx_ogg_eof(state.dec) && state.at == state.held); ++call) {
        memset(buffer, GUARD, (size_t)length + GUARD_BYTES);
        fill_audio(&state, buffer, length);
        if (!guard_intact(buffer, length)) {
            fprintf(stderr, "callback %ld wrote past the %d bytes asked for\n", call, length);
            same = 0;
        }
        sink_add(&played, buffer, length);
    }
    if (same) same = sink_matches_file(&played, argv[2], (size_t)length);
    sink_release(&played);
    free(buffer);
    qdx_ogg_free(state.dec);
    return same ? 0 : 1;
}
