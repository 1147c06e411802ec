// Restarting from the beginning of a source: the only one, or with two
// sources the second, for good. The whole codec state is rebuilt because the
// restarted stream goes through its headers again.
#include "core/codec_state.h"
#include "core/decoder.h"
#include "core/stream_start.h"

namespace {

void rewind(qdx_ogg_source &s) {
    if (s.kind == SRC_MEMORY) {
        s.position = s.start;
        s.file = PLAT_NO_HANDLE;
    } else if (s.kind == SRC_FILE) {
        plat_set_file_pointer(s.file, s.start, PLAT_FILE_BEGIN);
        s.data = nullptr;
        s.position = 0;
    } else if (s.kind == SRC_MAPPED) {
        s.position = s.start;
    } else {
        return;
    }
    s.at_end = 0;
}

}  // namespace

// Returns 0 when the restarted stream started, 1 when it did not. The record
// is marked not ready before the teardown, so a restart that fails leaves a
// decoder whose decoding calls return 0 rather than touch torn-down state. Released sources (a suspended decoder) are never read: that case is
// refused.
extern "C" int32_t qdx_ogg_replay(qdx_ogg_decoder *d) {
    if (d == nullptr) return -1;
    if (d->suspended) return -2;
    const serving_decoder serving(heap_of(d));
    if (!serving.engaged()) return 1;
    codec_reset(*d);
    if (d->has_second) d->use_second = 1;
    qdx_ogg_source &restarted = active_source(*d);
    rewind(restarted);
    // A restart that fails leaves nothing to decode: the source counts as
    // spent, so a host that decodes until eof stops instead of spinning, and
    // the failure is reported, so a host that replays at every eof stops too.
    if (stream_start(*d) != 0) {
        restarted.at_end = 1;
        return 1;
    }
    return 0;
}
