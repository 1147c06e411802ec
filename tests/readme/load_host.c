/* The README's load-at-run-time host, as it stands there, loading the
 * built module by its path: every function must resolve, and a decoder
 * made through them must behave as one without input.
 * Usage: readme_load_at_run_time MODULE */
#include <stdio.h>

#include "load_at_run_time.inc"

int main(int argc, char **argv)
{
    static int16_t pcm[(4096 + QDX_OGG_MAX_OVERRUN) / 2];
    struct velmora_api api;
    if (argc != 2) return 2;
    if (load_velmora(&api, argv[1]) != 0) {
        const char *why = dlerror();
        fprintf(stderr, "cannot load %s: %s\n", argv[1], why ? why : "a function did not resolve");
        return 1;
    }
    qdx_ogg_decoder *dec = api.create();
    const int32_t got = dec ? api.process_frame(dec, pcm, 4096) : -1;
    api.free_decoder(dec);
    dlclose(api.module);
    return got == 0 ? 0 : 1;  /* no stream attached: nothing decoded */
}
