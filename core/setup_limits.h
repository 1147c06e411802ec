// What a setup header may ask of Tremor, over what the format allows. Each
// limit is far above what real encoders write (libvorbis from -q -1 to 10 at
// 1, 2, 6 and 8 channels, and the test vectors; bench/setup_figures.sh
// measures them), and far below what would hurt the host. Our patched
// Tremor bounds its heap itself; Debian's packaged Tremor bounds nothing, so
// for it these are the only bounds there are.
#ifndef VELMORA_SETUP_LIMITS_H
#define VELMORA_SETUP_LIMITS_H

#include <cstdint>

// Codebooks: Tremor allocates tables in proportion to what they declare, and
// a few bytes of ordered lengths can declare millions of entries. About 15
// times the most real encoders write in one setup (19,413 entries and 85,928
// values, libvorbis at -q 10 with six channels); the patched Tremor enforces
// the same budget.
constexpr long CODEBOOK_ENTRY_BUDGET = 300000;   // entries over all books of a setup
constexpr long CODEBOOK_VALUE_BUDGET = 1250000;  // entries x dimensions of value-mapped books

// The look-ups Tremor builds for every mode, once per submap of its mapping:
// a residue's decode map (a block per class word) and a floor 0's tables.
// 1.3 KB of setup could otherwise ask for gigabytes. Real setups take at
// most 140,640 bytes (a test vector with six modes; libvorbis, 11,408).
constexpr std::uint64_t LOOKUP_HEAP_LIMIT = 2097152;  // bytes

// Debian's Tremor sorts each codebook in stack arrays of a pointer and an
// int per used entry (12 bytes on 64-bit machines, 8 on 32-bit ones): so
// 8,192 used entries on 64-bit machines, 12,288 on 32-bit ones, which leaves
// room on a 128 KiB thread. Real books have at most 3,125 (37,500 bytes).
constexpr std::uint64_t SORT_STACK_LIMIT = 98304;  // bytes

// Residue 0 decodes each partition through stack arrays of a long and a
// pointer per codeword (partition size / book dimensions of them): so 512
// codewords on 64-bit machines, 1,024 on 32-bit ones. Real residue 0 setups
// code 32 (512 bytes).
constexpr std::uint64_t RESIDUE0_STACK_LIMIT = 8192;  // bytes

// A value-mapped codebook's binary point, the point of its largest value:
// Tremor shifts each decoded value by a residue's point (-8) or floor 0's
// (-24) less the book's, and each stored value down to the book's point
// from its own. Beyond these, a count reaches 32, which C leaves undefined
// (book_points.h). Real books have points from -32 to -15, their values
// within 5 of them (libvorbis, the floor 0 vector).
constexpr long BOOK_POINT_LOWEST = -8 - 31;
constexpr long BOOK_POINT_HIGHEST = -24 + 31;
constexpr long BOOK_POINT_SPAN = 31;

// Floor 0: Tremor divides its amplitude by (1 << bits) - 1, which wraps to 0
// for 32 bits; its tables divide by the bark scale of half the rate, which
// is 0 below 2 Hz; and it computes 0x10000 x bark in an int, which
// overflows beyond 32768 barks. The floor 0 test vector uses 10 and 12
// bits, 44.1 kHz, 64 and 256 barks (libvorbis no longer writes floor 0).
constexpr long FLOOR0_AMPLITUDE_BITS_LIMIT = 31;
constexpr long FLOOR0_LOWEST_RATE = 2;
constexpr long FLOOR0_BARK_MAP_LIMIT = 32768;

#endif  // VELMORA_SETUP_LIMITS_H
