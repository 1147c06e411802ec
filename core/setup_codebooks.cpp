#include "core/setup_codebooks.h"

#include "core/book_points.h"
#include "core/setup_limits.h"
#include "core/tremor_quantvals.h"

namespace {

constexpr long CODEBOOK_SYNC = 0x564342;
constexpr int FLOAT_BITS = 32;
constexpr long LONGEST_CODEWORD = 32;

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

// Ordered lengths: runs of entries of each length in turn, refused where
// Tremor refuses them (a run past the entries, or longer than the lengths
// that remain can code).
bool read_ordered_lengths(setup_bits &b, book_shape &book) {
    long length = b.read(5) + 1;
    for (long entry = 0; entry < book.entries; ++length) {
        const long run = b.read(ilog(static_cast<unsigned long>(book.entries - entry)));
        if (b.ran_out() || length > LONGEST_CODEWORD || run > book.entries - entry) return false;
        if (run > 0 && ((run - 1) >> (length >> 1) >> ((length + 1) >> 1)) > 0) return false;
        entry += run;
    }
    book.used_entries = book.entries;
    return !b.ran_out();
}

// Lengths entry by entry, some perhaps unused.
bool read_listed_lengths(setup_bits &b, book_shape &book) {
    const long sparse = b.read(1);
    book.used_entries = 0;
    for (long entry = 0; entry < book.entries && !b.ran_out(); ++entry) {
        if (sparse && b.read(1) != 1) continue;
        b.read(5);
        ++book.used_entries;
    }
    return !b.ran_out();
}

// The values a value-mapped book stores, as many as Tremor reads.
bool read_values(setup_bits &b, const book_shape &book, codebook_tally &tally) {
    if (book.dimensions == 0) return false;
    tally.values += book.entries * book.dimensions;  // what synthesis expands the book to
    if (!tally.within_budget()) return false;
    book_values points;
    points.minimum = static_cast<unsigned long>(b.read(FLOAT_BITS / 2)) |
                     static_cast<unsigned long>(b.read(FLOAT_BITS / 2)) << FLOAT_BITS / 2;
    points.delta = static_cast<unsigned long>(b.read(FLOAT_BITS / 2)) |
                   static_cast<unsigned long>(b.read(FLOAT_BITS / 2)) << FLOAT_BITS / 2;
    const long value_bits = b.read(4) + 1;
    points.value_bits = value_bits;
    points.sequence = b.read(1) == 1;
    points.dimensions = book.dimensions;
    // Tremor builds values only for books with codewords.
    if (b.ran_out() || (book.used_entries > 0 && !book_points_within_range(points))) return false;
    long values = book.entries * book.dimensions;
    if (book.lookup_type == 1) {
        values = lookup1_values(book.entries, book.dimensions);
        if (tremor_lookup1_values(book.entries, book.dimensions) != values) return false;
    }
    if (b.ran_out()) return false;
    b.skip(values * value_bits);  // at most 2^24 values of 16 bits
    return !b.ran_out();
}

bool walk_codebook(setup_bits &b, book_shape &book, codebook_tally &tally) {
    if (b.read(24) != CODEBOOK_SYNC) return false;
    book.dimensions = b.read(16);
    book.entries = b.read(24);
    if (b.ran_out()) return false;
    // Tremor refuses a book this large itself.
    if (ilog(static_cast<unsigned long>(book.dimensions)) + ilog(static_cast<unsigned long>(book.entries)) > 24)
        return false;
    tally.entries += book.entries;
    if (!tally.within_budget()) return false;
    const long ordered = b.read(1);
    if (!(ordered ? read_ordered_lengths(b, book) : read_listed_lengths(b, book))) return false;
    book.lookup_type = static_cast<int>(b.read(4));
    if (book.lookup_type == 0) return !b.ran_out();
    if (book.lookup_type != 1 && book.lookup_type != 2) return false;
    return read_values(b, book, tally);
}

}  // namespace

bool walk_codebooks(setup_bits &b, setup_shape &shape) {
    shape.books = static_cast<int>(b.read(8) + 1);
    codebook_tally tally;
    for (int i = 0; i < shape.books; ++i)
        if (b.ran_out() || !walk_codebook(b, shape.book[i], tally)) return false;
    return !b.ran_out();
}
