// Suspend releases every file, mapping and view without losing the place in
// the stream; resume reopens them from the stored paths. Codec state,
// positions, ends and at_end flags are never touched.
#include "core/decoder.h"
#include "input/file_open.h"
#include "input/release.h"

namespace {

constexpr std::int32_t DONE = 0;
constexpr std::int32_t NO_DECODER_OR_FAILED = -1;
constexpr std::int32_t WRONG_STATE = -2;

// A read file that cannot be reopened does not fail: its refills deliver
// nothing, so the source ends. A mapped file that cannot be must fail, as its
// view would be missing.
bool reopen(qdx_ogg_source &s) {
    if (s.kind == SRC_FILE) {
        open_read_file(s);
        return true;
    }
    if (s.kind == SRC_MAPPED) return open_mapped_file(s);
    return true;
}

void release_all_handles(qdx_ogg_decoder &d) {
    release_handles(d.source1);
    if (d.has_second) release_handles(d.source2);
}

}  // namespace

extern "C" int32_t qdx_ogg_suspend(qdx_ogg_decoder *d) {
    if (d == nullptr) return NO_DECODER_OR_FAILED;
    if (d->suspended) return WRONG_STATE;
    release_all_handles(*d);
    d->suspended = 1;
    return DONE;
}

// A failed resume leaves the decoder suspended with nothing open, so a later
// resume or free neither leaks nor closes twice.
extern "C" int32_t qdx_ogg_resume(qdx_ogg_decoder *d) {
    if (d == nullptr) return NO_DECODER_OR_FAILED;
    if (!d->suspended) return WRONG_STATE;
    if (!reopen(d->source1) || (d->has_second && !reopen(d->source2))) {
        release_all_handles(*d);
        return NO_DECODER_OR_FAILED;
    }
    d->suspended = 0;
    return DONE;
}
