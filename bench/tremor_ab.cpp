// One ov_read decode of a file with the library's Tremor (speed patches
// included) or with the reference Tremor built beside it for the tests (the
// same source and configuration without them), or none, for
// bench/tremor_ab.sh to count the instructions of each.
//
//   tremor_ab patched|reference|none FILE
#include <cstdio>
#include <cstring>

#include "input_block.h"
#include "ovread_decode.h"
#include "pcm_sink.h"

int main(int argc, char **argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: tremor_ab patched|reference|none FILE\n");
        return 2;
    }
    const input_block block(argv[2]);
    if (!block.ok()) {
        std::fprintf(stderr, "tremor_ab: cannot read %s\n", argv[2]);
        return 1;
    }
    if (std::strcmp(argv[1], "none") == 0) return 0;
    const ivorbisfile_calls *reference = reference_tremor();
    const bool use_reference = std::strcmp(argv[1], "reference") == 0;
    if (use_reference && reference == nullptr) {
        std::fprintf(stderr, "tremor_ab: this build has no reference Tremor\n");
        return 2;
    }
    discard_sink discard;
    const decode_outcome outcome =
        decode_with_ovread(block, discard, use_reference ? *reference : library_tremor());
    if (!outcome.started) return 1;
    std::printf("%llu bytes of PCM\n", static_cast<unsigned long long>(outcome.bytes));
    return 0;
}
