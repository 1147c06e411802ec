#include "input/attach.h"

#include <cstring>

#include "core/codec_state.h"
#include "core/decoder.h"
#include "input/release.h"

bool prepare_for_input(qdx_ogg_decoder *d) {
    if (d == nullptr || d->suspended) return false;
    codec_reset(*d);
    release_sources(*d);
    std::memset(&d->source1, 0, sizeof d->source1);
    std::memset(&d->source2, 0, sizeof d->source2);
    d->has_second = 0;
    d->use_second = 0;
    // The earlier stream is gone: until the new one starts, nothing
    // describes the output, as before any stream started.
    std::memset(&d->format, 0, sizeof d->format);
    d->batch_samples = 0;
    return true;
}
