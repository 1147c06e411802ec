#include "input/file_open.h"

#include "input/path.h"
#include "input/release.h"
#include "input/source.h"

bool open_read_file(qdx_ogg_source &s) {
    const plat_wchar *wide = convert_path(s.path);
    s.file = wide == nullptr
                 ? PLAT_INVALID_HANDLE
                 : plat_create_file(wide, PLAT_GENERIC_READ, PLAT_FILE_SHARE_READ, PLAT_OPEN_EXISTING,
                                    PLAT_FILE_FLAG_RANDOM_ACCESS | PLAT_FILE_ATTRIBUTE_NORMAL);
    if (s.file == PLAT_INVALID_HANDLE) return false;
    // start and position are each below 4 GiB, but a stream that has been
    // read past 4 GiB goes on from there, as it would without a suspend.
    const std::uint64_t offset = std::uint64_t{s.start} + s.position;
    if (offset != 0) plat_set_file_pointer(s.file, offset, PLAT_FILE_BEGIN);
    return true;
}

bool open_mapped_file(qdx_ogg_source &s) {
    const plat_wchar *wide = convert_path(s.path);
    s.file = wide == nullptr
                 ? PLAT_INVALID_HANDLE
                 : plat_create_file_for_mapping(wide, PLAT_GENERIC_READ, PLAT_FILE_SHARE_READ,
                                                PLAT_OPEN_EXISTING, PLAT_FILE_ATTRIBUTE_NORMAL);
    if (s.file == PLAT_INVALID_HANDLE) return false;
    // The file was opened sharing reads only, so its size holds while it is
    // mapped; a file replaced while suspended may be shorter than end.
    const std::uint32_t size = plat_file_size(s.file);
    s.mapping = plat_create_file_mapping(s.file, PLAT_PAGE_READONLY);
    s.data = s.mapping != PLAT_NO_HANDLE ? plat_map_view(s.mapping, PLAT_FILE_MAP_READ) : nullptr;
    if (s.data == nullptr || size == SIZE_UNKNOWN) {
        release_handles(s);
        return false;
    }
    if (s.end > size) s.end = size;
    return true;
}
