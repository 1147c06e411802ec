/*
 * A host built against an installed Velmora, as a user's program is: decodes
 * the Ogg Vorbis file named on the command line (read input, whole file) and
 * writes its PCM to standard output. Exits 1 when the stream does not start
 * or the output fails.
 */
#include <stdint.h>
#include <stdio.h>

#include <velmora.h>

enum { WANT = 4096 };

int main(int argc, char **argv)
{
    static int16_t pcm[(WANT + QDX_OGG_MAX_OVERRUN) / 2];
    qdx_ogg_decoder *dec;
    int status = 0;

    if (argc != 2) {
        fprintf(stderr, "usage: %s FILE.ogg > FILE.pcm\n", argv[0]);
        return 2;
    }
    dec = qdx_ogg_create();
    if (dec == NULL || qdx_ogg_input_file_open(dec, argv[1], 0, 0) != 0) {
        fprintf(stderr, "%s: not a playable Ogg Vorbis stream\n", argv[1]);
        qdx_ogg_free(dec);
        return 1;
    }
    while (!qdx_ogg_eof(dec)) {
        int32_t got = qdx_ogg_process_frame(dec, pcm, WANT);
        if (fwrite(pcm, 1, (size_t)got, stdout) != (size_t)got) {
            status = 1;
            break;
        }
    }
    qdx_ogg_free(dec);
    if (fflush(stdout) != 0) status = 1;
    return status;
}
