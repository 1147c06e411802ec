// Fuzz target: the input, its page checksums re-stamped, attached as one
// memory source and decoded to the end with host lengths the input picks.
#include <cstdint>
#include <vector>

#include "velmora.h"
#include "fuzz/checked_decode.h"
#include "fuzz/fuzz_failure.h"
#include "fuzz/fuzz_script.h"
#include "fuzz/page_checksums.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size > 0xFFFFFFFFu) return 0;
    fuzz_script script(data, size);
    length_pattern lengths(script);
    std::vector<std::uint8_t> stream(data, data + size);
    restamp_page_checksums(stream);

    qdx_ogg_decoder *d = qdx_ogg_create();
    fuzz_require(d != nullptr, "create failed without a fault");
    const std::int32_t started =
        qdx_ogg_input_memory(d, stream.data(), static_cast<std::uint32_t>(stream.size()), 0);
    fuzz_require(started == 0 || started == 1, "input returned an undocumented result", started);

    checked_calls calls;
    if (started == 0) {
        const qdx_ogg_wave_format *format = qdx_ogg_pcm_format(d);
        fuzz_require(format->nChannels >= 1 && format->nBlockAlign == 2 * format->nChannels,
                     "started stream with a broken format record", format->nChannels);
        calls.decode_to_end(d, lengths, stream.size());
    } else {
        fuzz_require(calls.decode(d, lengths.next()) == 0, "a refused stream decoded PCM");
    }
    qdx_ogg_free(d);
    return 0;
}
