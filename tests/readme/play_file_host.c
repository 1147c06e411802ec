/* The README's first host, play_file(), as it stands there: decodes a file
 * to the end; what it plays must be velmora-decode's PCM.
 * Usage: readme_play_file FILE.ogg EXPECTED.pcm */
#include <stdint.h>
#include <stdio.h>

#include "host_support.h"

static struct pcm_sink played;
static int opened;

static void audio_open(uint16_t channels, uint32_t rate) { opened = channels > 0 && rate > 0; }

static void audio_write(const int16_t *pcm, int32_t bytes) { sink_add(&played, pcm, bytes); }

#include "play_file.inc"

int main(int argc, char **argv)
{
    if (argc != 3) return 2;
    if (play_file(argv[1]) != 0 || !opened) {
        fprintf(stderr, "play_file refused %s\n", argv[1]);
        return 1;
    }
    const int same = sink_matches_file(&played, argv[2], 0);
    sink_release(&played);
    return same ? 0 : 1;
}
