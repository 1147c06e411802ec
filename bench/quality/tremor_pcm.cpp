// tremor_pcm FILE.ogg OUT.raw: the PCM Tremor's ov_read makes of the first
// logical stream, as interleaved 16-bit little-endian samples: the output
// Velmora reproduces bit for bit with the same Tremor build.
#include <tremor/ivorbisfile.h>

#include <cstdio>

int main(int argc, char **argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: tremor_pcm FILE.ogg OUT.raw\n");
        return 2;
    }
    FILE *in = std::fopen(argv[1], "rb");
    FILE *out = std::fopen(argv[2], "wb");
    OggVorbis_File file;
    if (!in || !out || ov_open(in, &file, nullptr, 0) != 0) {  // ov_open owns in now
        std::fprintf(stderr, "tremor_pcm: cannot decode %s into %s\n", argv[1], argv[2]);
        return 1;
    }
    char chunk[4096];
    int link = 0;
    long got;
    while ((got = ov_read(&file, chunk, sizeof chunk, &link)) != 0) {
        if (got == OV_HOLE) continue;
        if (got < 0 || link != 0) break;
        std::fwrite(chunk, 1, static_cast<size_t>(got), out);
    }
    ov_clear(&file);
    return std::fclose(out) == 0 ? 0 : 1;
}
