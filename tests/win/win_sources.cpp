#include "win_sources.h"

#include <cstring>

#include "win_files.h"

namespace {

// The module releases owned blocks with LocalFree, so they come from the
// local heap, as a Windows host allocates them.
void *owned_copy_of(const std::string &path, std::uint32_t *size) {
    const std::vector<std::uint8_t> bytes = read_bytes(path);
    *size = static_cast<std::uint32_t>(bytes.size());
    void *block = LocalAlloc(LMEM_FIXED, bytes.empty() ? 1 : bytes.size());
    if (block != nullptr && !bytes.empty()) std::memcpy(block, bytes.data(), bytes.size());
    return block;
}

}  // namespace

std::int32_t attach_one(qdx_ogg_decoder *d, source_kind kind, const std::string &path) {
    switch (kind) {
        case source_kind::memory: {
            std::uint32_t size = 0;
            void *block = owned_copy_of(path, &size);
            return velmora().input_memory(d, block, size, 1);
        }
        case source_kind::read_file: return velmora().input_file_open(d, path.c_str(), 0, 0);
        case source_kind::mapped_file: return velmora().input_file_map(d, path.c_str(), 0, 0);
    }
    return -1;
}

std::int32_t attach_two(qdx_ogg_decoder *d, source_kind kind, const std::string &path1,
                        const std::string &path2) {
    switch (kind) {
        case source_kind::memory: {
            std::uint32_t size1 = 0, size2 = 0;
            void *block1 = owned_copy_of(path1, &size1);
            void *block2 = owned_copy_of(path2, &size2);
            return velmora().input_memory2(d, block1, size1, block2, size2, 1);
        }
        case source_kind::read_file:
            return velmora().input_file_open2(d, path1.c_str(), 0, 0, path2.c_str(), 0, 0);
        case source_kind::mapped_file:
            return velmora().input_file_map2(d, path1.c_str(), 0, 0, path2.c_str(), 0, 0);
    }
    return -1;
}
