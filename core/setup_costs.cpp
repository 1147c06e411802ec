#include "core/setup_costs.h"

#include <algorithm>
#include <cstdint>

namespace {

constexpr std::uint64_t WORD = sizeof(void *);

// Tremor's look-up records, field by field.
constexpr std::uint64_t MAPPING_LOOK_BYTES = 6 * WORD + sizeof(int) + sizeof(long);
constexpr std::uint64_t FLOOR0_LOOK_BYTES = sizeof(long) + 2 * sizeof(int) + 3 * WORD;
constexpr std::uint64_t FLOOR1_LOOK_BYTES = (65 + 63 + 63 + 3) * sizeof(int) + WORD;
constexpr std::uint64_t RESIDUE_LOOK_BYTES = 5 * WORD + 4 * sizeof(int) + WORD;

// What a block of bytes takes from the allocator.
std::uint64_t heap_block(std::uint64_t bytes) {
    const std::uint64_t rounded = (bytes + WORD + 2 * WORD - 1) / (2 * WORD) * (2 * WORD);
    return std::max(rounded, 4 * WORD);
}

// A floor 0's tables: a bark index per value of the half block, and the
// cosine of each bark.
std::uint64_t floor_look(const floor_shape &floor, long half_block) {
    if (floor.type != 0) return heap_block(FLOOR1_LOOK_BYTES);
    return heap_block(FLOOR0_LOOK_BYTES) + heap_block((static_cast<std::uint64_t>(half_block) + 1) * sizeof(int)) +
           heap_block(static_cast<std::uint64_t>(floor.bark_map) * sizeof(int));
}

// A residue's stage-book table per class, and its decode map: a pointer and
// a block of dimensions ints per class word.
std::uint64_t residue_look(const residue_shape &residue) {
    const auto words = static_cast<std::uint64_t>(residue.class_words);
    const auto per_word = heap_block(static_cast<std::uint64_t>(residue.class_book_dimensions) * sizeof(int));
    return heap_block(RESIDUE_LOOK_BYTES) + heap_block(static_cast<std::uint64_t>(residue.classes) * WORD) +
           static_cast<std::uint64_t>(residue.class_stages) * WORD +
           static_cast<std::uint64_t>(residue.staged_classes) * heap_block(0) + heap_block(words * WORD) +
           words * per_word;
}

std::uint64_t mapping_look(const setup_shape &shape, const mapping_shape &mapping, long half_block) {
    std::uint64_t bytes = heap_block(MAPPING_LOOK_BYTES) + 4 * heap_block(static_cast<std::uint64_t>(mapping.submaps) * WORD);
    for (int s = 0; s < mapping.submaps; ++s)
        bytes += floor_look(shape.floor[mapping.floor[s]], half_block) + residue_look(shape.residue[mapping.residue[s]]);
    return bytes;
}

void add_codebooks(const setup_shape &shape, setup_costs &costs) {
    for (int i = 0; i < shape.books; ++i) {
        const book_shape &book = shape.book[i];
        costs.entries += book.entries;
        if (book.lookup_type != 0) costs.values += book.entries * book.dimensions;
        // A pointer and an int per used entry, in stack arrays.
        const auto sort = static_cast<std::uint64_t>(book.used_entries) * (WORD + sizeof(int));
        costs.sort_stack = std::max(costs.sort_stack, sort);
    }
}

}  // namespace

setup_costs costs_of(const setup_shape &shape, long short_block, long long_block) {
    setup_costs costs;
    add_codebooks(shape, costs);
    costs.lookup_heap = heap_block(static_cast<std::uint64_t>(shape.modes) * WORD);
    for (int i = 0; i < shape.modes; ++i) {
        const mode_shape &mode = shape.mode[i];
        const long half_block = (mode.long_block ? long_block : short_block) / 2;
        costs.lookup_heap += mapping_look(shape, shape.mapping[mode.mapping], half_block);
    }
    for (int i = 0; i < shape.residues; ++i) {
        const residue_shape &residue = shape.residue[i];
        if (residue.type != 0) continue;
        // A long and a pointer per codeword of a partition.
        const auto scratch = static_cast<std::uint64_t>(residue.partition_size_per_book_value) * (sizeof(long) + WORD);
        costs.residue0_stack = std::max(costs.residue0_stack, scratch);
    }
    return costs;
}
