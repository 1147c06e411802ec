#include "core/setup_check.h"

#include <cstdint>

namespace {

constexpr long SETUP_PACKET_TYPE = 5;
constexpr int VORBIS_SIGNATURE_BITS = 6 * 8;
constexpr long CODEBOOK_SYNC = 0x564342;
constexpr int FLOAT_BITS = 32;

enum class codebook_walk { safe, unsafe, unreadable };

// What the books walked so far declare, against the budget.
struct codebook_tally {
    long entries = 0;
    long values = 0;
    bool within_budget() const { return entries <= CODEBOOK_ENTRY_BUDGET && values <= CODEBOOK_VALUE_BUDGET; }
};

int ilog(unsigned long value) {
    int bits = 0;
    for (; value != 0; value >>= 1) ++bits;
    return bits;
}

// Whether base to the power exponent stays within limit.
bool power_within(std::int64_t base, long exponent, std::int64_t limit) {
    if (base <= 1) return base <= limit;
    std::int64_t power = 1;
    for (long i = 0; i < exponent; ++i) {
        power *= base;
        if (power > limit) return false;
    }
    return true;
}

// The values a lookup type 1 book stores: the largest count whose power
// dimensions is at most entries.
long lookup1_values(long entries, long dimensions) {
    long low = 0;
    long high = entries;
    while (low < high) {
        const long middle = low + (high - low + 1) / 2;
        if (power_within(middle, dimensions, entries)) low = middle;
        else high = middle - 1;
    }
    return low;
}

// Passes over the codeword lengths; false where the header runs out.
bool skip_codeword_lengths(oggpack_buffer &b, long entries) {
    const long ordered = oggpack_read(&b, 1);
    if (ordered < 0) return false;
    if (ordered) {
        if (oggpack_read(&b, 5) < 0) return false;  // the first length
        for (long entry = 0; entry < entries;) {
            const long run = oggpack_read(&b, ilog(static_cast<unsigned long>(entries - entry)));
            if (run < 0) return false;
            entry += run;
        }
        return true;
    }
    const long sparse = oggpack_read(&b, 1);
    for (long entry = 0; entry < entries; ++entry) {
        const long used = sparse ? oggpack_read(&b, 1) : 1;
        if (used < 0) return false;
        if (used && oggpack_read(&b, 5) < 0) return false;
    }
    return true;
}

// Follows one codebook as Tremor unpacks it, field by field.
codebook_walk walk_codebook(oggpack_buffer &b, codebook_tally &tally) {
    if (oggpack_read(&b, 24) != CODEBOOK_SYNC) return codebook_walk::unreadable;
    const long dimensions = oggpack_read(&b, 16);
    const long entries = oggpack_read(&b, 24);
    if (entries < 0) return codebook_walk::unreadable;
    // Tremor refuses a book this large itself.
    if (ilog(static_cast<unsigned long>(dimensions)) + ilog(static_cast<unsigned long>(entries)) > 24)
        return codebook_walk::unreadable;
    tally.entries += entries;
    if (!tally.within_budget()) return codebook_walk::unsafe;
    if (!skip_codeword_lengths(b, entries)) return codebook_walk::unreadable;
    const long lookup_type = oggpack_read(&b, 4);
    if (lookup_type == 0) return codebook_walk::safe;
    if (lookup_type != 1 && lookup_type != 2) return codebook_walk::unreadable;
    if (dimensions == 0) return codebook_walk::unsafe;
    tally.values += entries * dimensions;  // what synthesis expands the book to
    if (!tally.within_budget()) return codebook_walk::unsafe;
    oggpack_adv(&b, 2 * FLOAT_BITS);  // the minimum and the delta
    const long value_bits = oggpack_read(&b, 4) + 1;
    if (oggpack_read(&b, 1) < 0) return codebook_walk::unreadable;  // the sequence flag
    const long values = lookup_type == 1 ? lookup1_values(entries, dimensions) : entries * dimensions;
    oggpack_adv(&b, static_cast<int>(values * value_bits));  // at most 2^28 bits
    return codebook_walk::safe;
}

}  // namespace

bool setup_codebooks_are_safe(ogg_packet &setup) {
    oggpack_buffer b;
    oggpack_readinit(&b, setup.packet, static_cast<int>(setup.bytes));
    if (oggpack_read(&b, 8) != SETUP_PACKET_TYPE) return true;  // Tremor refuses it
    oggpack_adv(&b, VORBIS_SIGNATURE_BITS);
    const long books = oggpack_read(&b, 8) + 1;
    codebook_tally tally;
    for (long i = 0; i < books; ++i) {
        const codebook_walk walked = walk_codebook(b, tally);
        if (walked == codebook_walk::unsafe) return false;
        if (walked == codebook_walk::unreadable) return true;  // Tremor refuses it
    }
    return true;
}
