/* The README's intro-and-loop host, as it stands there, run in a folder
 * holding intro.ogg and loop.ogg. The game goes to the background for three
 * calls early on: those calls must give whole frames of silence, which the
 * player drops. When the loop starts, the host runs until it has played as
 * much as velmora-decode wrote for --loops 2, which it must equal; when the
 * loop cannot start, the host's loop must stop, having played the intro.
 * WANT is no multiple of the frame, so silence that is not whole frames
 * would show.
 * Usage: readme_intro_loop EXPECTED.pcm plays|stops
 *   plays: the loop starts; played until EXPECTED's size, then compared
 *   stops: the loop cannot start; the host loop must end, having played
 *          EXPECTED and nothing more */
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "host_support.h"
#include "velmora.h"

enum { BACKGROUND_AT_CALL = 20, BACK_AT_CALL = 23, MOST_CALLS = 1000000 };

static qdx_ogg_decoder *dec;
static struct pcm_sink played;
static const char *expected_path;
static int until_it_stops;
static size_t expected_size;
static long calls;
static int in_background;

static int went_to_background(void)
{
    if (calls != BACKGROUND_AT_CALL) return 0;
    in_background = 1;
    return 1;
}

static int came_back(void)
{
    if (calls != BACK_AT_CALL) return 0;
    in_background = 0;
    return 1;
}

#define game_went_to_background went_to_background()
#define game_came_back came_back()

static void end_with(int same)
{
    sink_release(&played);
    qdx_ogg_free(dec);
    exit(same ? 0 : 1);
}

static void audio_write(const int16_t *pcm, int32_t bytes)
{
    ++calls;
    if (calls > MOST_CALLS) {
        fprintf(stderr, "the host loop spins\n");
        end_with(0);
    }
    if (in_background) {
        const int32_t frame = qdx_ogg_pcm_format(dec)->nBlockAlign;
        const unsigned char *silence = (const unsigned char *)pcm;
        for (int32_t i = 0; i < bytes; ++i) {
            if (silence[i] != 0) end_with(0);
        }
        if (bytes % frame != 0) {
            fprintf(stderr, "%ld bytes of silence are not whole frames of %ld\n", (long)bytes, (long)frame);
            end_with(0);
        }
        return;
    }
    sink_add(&played, pcm, bytes);
    if (!until_it_stops && played.size >= expected_size) end_with(sink_starts_with_file(&played, expected_path));
}

static int intro_then_loop(void)
{
    const qdx_ogg_wave_format *fmt = qdx_ogg_pcm_format(dec);
    enum { WANT = 4098 };
    static int16_t pcm[(WANT + QDX_OGG_MAX_OVERRUN) / 2];
#include "intro_loop.inc"
    (void)fmt;
    return 0;
}

int main(int argc, char **argv)
{
    if (argc != 3) return 2;
    expected_path = argv[1];
    until_it_stops = strcmp(argv[2], "stops") == 0;
    expected_size = file_size(expected_path);
    dec = qdx_ogg_create();
    if (!dec || intro_then_loop() != 0) {
        fprintf(stderr, "the intro did not start\n");
        end_with(0);
    }
    end_with(sink_matches_file(&played, expected_path, 0));
    return 1;
}
