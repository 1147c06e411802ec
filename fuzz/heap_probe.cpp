// Decodes one file as a host would, for a heap profiler to watch:
//
//   velmora_heap_probe FILE
//
// The file is read in chunks (qdx_ogg_input_file_open), so the input itself
// costs no heap and the peak is what the decoder and its dependencies hold.
// Prints the decoded byte count; exits 1 when the stream does not start.
#include <cstdint>
#include <cstdio>
#include <vector>

#include "velmora.h"

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FILE\n", argv[0]);
        return 2;
    }
    qdx_ogg_decoder *d = qdx_ogg_create();
    if (d == nullptr || qdx_ogg_input_file_open(d, argv[1], 0, 0) != 0) {
        std::printf("%s: refused\n", argv[1]);
        qdx_ogg_free(d);
        return 1;
    }
    static std::uint8_t pcm[4096 + QDX_OGG_MAX_OVERRUN];
    std::uint64_t decoded = 0;
    // The host loop, with a bound: a refused restart must not keep it here.
    for (long calls = 0; !qdx_ogg_eof(d) && calls < 100000000; ++calls) {
        decoded += static_cast<std::uint32_t>(qdx_ogg_process_frame(d, pcm, 4096));
    }
    std::printf("%s: %llu bytes of PCM\n", argv[1], static_cast<unsigned long long>(decoded));
    qdx_ogg_free(d);
    return 0;
}
