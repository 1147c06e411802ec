#include "core/codec_allocator.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "core/heap_budget.h"

namespace {

// Ahead of each block. It takes a whole multiple of the strictest alignment,
// so the block keeps the alignment malloc gave.
struct block_header {
    std::size_t size;     // what the caller asked for
    heap_budget *budget;  // charged with the block; null: none
};
constexpr std::size_t ALIGNMENT = alignof(std::max_align_t);
constexpr std::size_t HEADER_BYTES = (sizeof(block_header) + ALIGNMENT - 1) / ALIGNMENT * ALIGNMENT;

// The C library's own bookkeeping, as glibc keeps it: a word ahead of each
// block, the whole rounded up to two words, four at least. Tremor's residue
// look-ups are mostly blocks of a few bytes, which this doubles.
constexpr std::size_t WORD = sizeof(void *);
constexpr std::size_t LARGEST_REQUEST = SIZE_MAX - HEADER_BYTES - 4 * WORD;

// What a block of size bytes costs the heap: itself, our header and the C
// library's bookkeeping.
std::size_t cost_of(std::size_t size) {
    const std::size_t chunk = (size + HEADER_BYTES + WORD + 2 * WORD - 1) / (2 * WORD) * (2 * WORD);
    return chunk < 4 * WORD ? 4 * WORD : chunk;
}

block_header *header_of(void *block) {
    return reinterpret_cast<block_header *>(static_cast<unsigned char *>(block) - HEADER_BYTES);
}

void *block_of(void *raw, std::size_t size, heap_budget *budget) {
    auto *header = static_cast<block_header *>(raw);
    header->size = size;
    header->budget = budget;
    return static_cast<unsigned char *>(raw) + HEADER_BYTES;
}

void *allocate(std::size_t size, bool zeroed) {
    if (size > LARGEST_REQUEST) return nullptr;
    const std::size_t cost = cost_of(size);
    heap_budget *budget = serving_budget();
    if (budget != nullptr && !charge(*budget, cost)) return nullptr;
    void *raw = zeroed ? std::calloc(1, size + HEADER_BYTES) : std::malloc(size + HEADER_BYTES);
    if (raw == nullptr) {
        if (budget != nullptr) credit(*budget, cost);
        return nullptr;
    }
    return block_of(raw, size, budget);
}

// Charges growth before the C library is asked, credits shrinking after it
// agreed; a refused resize leaves the block and its charge as they were.
void *resize(void *block, std::size_t size) {
    if (size > LARGEST_REQUEST) return nullptr;
    block_header *header = header_of(block);
    heap_budget *budget = header->budget;
    const std::size_t old_cost = cost_of(header->size);
    const std::size_t new_cost = cost_of(size);
    const std::size_t growth = new_cost > old_cost ? new_cost - old_cost : 0;
    if (budget != nullptr && growth != 0 && !charge(*budget, growth)) return nullptr;
    void *raw = std::realloc(header, size + HEADER_BYTES);
    if (raw == nullptr) {
        if (budget != nullptr && growth != 0) credit(*budget, growth);
        return nullptr;
    }
    if (budget != nullptr && new_cost < old_cost) credit(*budget, old_cost - new_cost);
    return block_of(raw, size, budget);
}

}  // namespace

extern "C" void *velmora_codec_malloc(size_t size) { return allocate(size, false); }

extern "C" void *velmora_codec_calloc(size_t count, size_t size) {
    if (size != 0 && count > SIZE_MAX / size) return nullptr;
    return allocate(count * size, true);
}

// A size of 0 keeps a block of no bytes, which free releases.
extern "C" void *velmora_codec_realloc(void *block, size_t size) {
    return block == nullptr ? allocate(size, false) : resize(block, size);
}

extern "C" void velmora_codec_free(void *block) {
    if (block == nullptr) return;
    block_header *header = header_of(block);
    if (header->budget != nullptr) credit(*header->budget, cost_of(header->size));
    std::free(header);
}
