// Prints the most heap a decoder's budget was charged while it decoded each
// file named (memory input, the host loop of 4096-byte calls): what libogg
// and Tremor, compiled from source, held for it at once, each block with our
// header and the C library's bookkeeping (core/codec_allocator.h). The
// figure the budget (VELMORA_DECODER_HEAP_BUDGET) must hold; 0 where the
// build's libraries are Debian's and charge nothing. bench/footprint.sh runs it.
//
//   velmora_charged_peak FILE...        one line each: FILE charged_peak=N
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

#include "core/decoder.h"
#include "velmora.h"

int main(int argc, char **argv) {
    static std::uint8_t pcm[4096 + QDX_OGG_MAX_OVERRUN];
    for (int i = 1; i < argc; ++i) {
        std::ifstream in(argv[i], std::ios::binary);
        const std::vector<std::uint8_t> ogg((std::istreambuf_iterator<char>(in)), {});
        qdx_ogg_decoder *d = qdx_ogg_create();
        if (d == nullptr || qdx_ogg_input_memory(d, ogg.data(), static_cast<std::uint32_t>(ogg.size()), 0) != 0) {
            std::printf("%s refused\n", argv[i]);
            qdx_ogg_free(d);
            return 1;
        }
        while (!qdx_ogg_eof(d)) qdx_ogg_process_frame(d, pcm, 4096);
        std::printf("%s charged_peak=%zu\n", argv[i], d->heap.peak);
        qdx_ogg_free(d);
    }
    return 0;
}
