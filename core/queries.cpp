// The small status and version queries; none changes any state.
#include <cstring>

#include "core/decoder.h"

// Without a started stream (no input yet, a refused input, a failed replay)
// nothing can be decoded, so a host that decodes until the end stops.
extern "C" int32_t qdx_ogg_eof(qdx_ogg_decoder *d) {
    if (d == nullptr || !d->headers_ready) return 1;
    const qdx_ogg_source &in_use = d->has_second && d->use_second ? d->source2 : d->source1;
    return in_use.at_end;
}

extern "C" const qdx_ogg_wave_format *qdx_ogg_pcm_format(qdx_ogg_decoder *d) {
    return d == nullptr ? nullptr : &d->format;
}

extern "C" int32_t qdx_ogg_pcm_size(qdx_ogg_decoder *) { return 0; }

extern "C" int32_t qdx_ogg_velm_ver(char *buffer) {
    if (buffer != nullptr) std::memcpy(buffer, QDX_OGG_VERSION_BANNER, QDX_OGG_VERSION_BYTES);
    return 0;
}
