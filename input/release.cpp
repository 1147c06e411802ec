#include "input/release.h"

#include "core/decoder.h"

void release_handles(qdx_ogg_source &s) {
    if (s.kind == SRC_MAPPED) {
        plat_unmap_view(s.data);
        s.data = nullptr;
        plat_close_handle(s.mapping);
        s.mapping = PLAT_NO_HANDLE;
    }
    if (s.kind == SRC_FILE || s.kind == SRC_MAPPED) {
        plat_close_handle(s.file);
        s.file = PLAT_NO_HANDLE;
    }
}

void release_source(qdx_ogg_source &s) {
    if (s.kind == SRC_MEMORY && s.owns_data && s.data != nullptr) {
        plat_local_free(const_cast<std::uint8_t *>(s.data));
        s.data = nullptr;
    }
    release_handles(s);
}

void release_sources(qdx_ogg_decoder &d) {
    release_source(d.source1);
    if (d.has_second) release_source(d.source2);
}
