// One ov_read decode of a file with the library's Tremor (speed patches
// included) or with the reference Tremor built beside it for the tests (the
// same source and configuration without them), or none, for
// bench/tremor_ab.sh to count the instructions of each.
//
//   tremor_ab patched|reference|none FILE
#include <tremor/ivorbisfile.h>

#include <cstdio>
#include <cstring>
#include <vector>

extern "C" {
int reference_tremor_ov_open_callbacks(void *source, OggVorbis_File *vf, const char *initial, long ibytes,
                                       ov_callbacks callbacks);
long reference_tremor_ov_read(OggVorbis_File *vf, char *buffer, int length, int *bitstream);
int reference_tremor_ov_clear(OggVorbis_File *vf);
}

namespace {

struct memory_stream {
    std::vector<unsigned char> bytes;
    std::size_t position = 0;
};

size_t read_stream(void *into, size_t size, size_t count, void *source) {
    auto *s = static_cast<memory_stream *>(source);
    std::size_t n = size * count;
    if (n > s->bytes.size() - s->position) n = s->bytes.size() - s->position;
    if (n != 0) std::memcpy(into, s->bytes.data() + s->position, n);
    s->position += n;
    return size == 0 ? 0 : n / size;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: tremor_ab patched|reference|none FILE\n");
        return 2;
    }
    memory_stream source;
    if (FILE *file = std::fopen(argv[2], "rb")) {
        unsigned char chunk[65536];
        std::size_t got;
        while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0)
            source.bytes.insert(source.bytes.end(), chunk, chunk + got);
        std::fclose(file);
    } else {
        std::perror(argv[2]);
        return 1;
    }
    if (std::strcmp(argv[1], "none") == 0) return 0;
    const bool reference = std::strcmp(argv[1], "reference") == 0;
    auto open = reference ? reference_tremor_ov_open_callbacks : ov_open_callbacks;
    auto read = reference ? reference_tremor_ov_read : ov_read;
    auto clear = reference ? reference_tremor_ov_clear : ov_clear;
    ov_callbacks unseekable{read_stream, nullptr, nullptr, nullptr};
    OggVorbis_File vf;
    if (open(&source, &vf, nullptr, 0, unseekable) != 0) return 1;
    char pcm[4096];
    long total = 0, got;
    int link = 0;
    while ((got = read(&vf, pcm, sizeof pcm, &link)) != 0)
        if (got > 0) total += got;
    clear(&vf);
    std::printf("%ld bytes of PCM\n", total);
    return 0;
}
