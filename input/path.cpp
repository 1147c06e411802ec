#include "input/path.h"

#include <cstring>

#include "input/source.h"

namespace {
plat_wchar shared_wide_path[WIDE_PATH_CHARS];

// Measures, then converts into the given buffer; false when the path does not
// convert or does not fit.
bool to_wide(const char *path, plat_wchar *into, int capacity) {
    const int needed = plat_multibyte_to_wide(PLAT_CP_ACP, path, nullptr, 0);
    if (needed <= 0 || needed > capacity) return false;
    return plat_multibyte_to_wide(PLAT_CP_ACP, path, into, needed) == needed;
}
}  // namespace

bool path_fits(const char *path) {
    return path != nullptr && std::memchr(path, 0, SOURCE_PATH_BYTES) != nullptr;
}

void store_path(qdx_ogg_source &s, const char *path) {
    std::memcpy(s.path, path, std::strlen(path) + 1);
}

const plat_wchar *convert_path(const char *path) {
    return to_wide(path, shared_wide_path, WIDE_PATH_CHARS) ? shared_wide_path : nullptr;
}

// Through the shared buffer too, done with before the open that follows: a
// buffer of its own would put 4 KiB on the host's stack.
std::uint32_t query_file_size(const char *path) {
    const plat_wchar *wide = convert_path(path);
    std::uint32_t size = 0;
    if (wide == nullptr || !plat_find_file_size(wide, &size)) return SIZE_UNKNOWN;
    return size;
}
