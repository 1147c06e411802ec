// Where Tremor puts the values of a value-mapped codebook in fixed point,
// bounded from the setup header's fields alone.
//
// Tremor keeps a book's values at one binary point, the highest any of them
// takes, shifts each down to it, and its decoders shift each decoded value
// again by their own point less the book's (residues: -8, floor 0: -24). The
// minimum's and the delta's exponents are 10-bit fields, so a crafted header
// can put those shift counts at 32 or more, which C leaves undefined and
// machines answer differently.
#ifndef VELMORA_BOOK_POINTS_H
#define VELMORA_BOOK_POINTS_H

// The fields of a value-mapped book that decide its values' points.
struct book_values {
    unsigned long minimum;  // packed float: sign, 10-bit exponent, 21-bit mantissa
    unsigned long delta;    // the same
    long value_bits;        // 1 to 16
    bool sequence;          // each value adds the one before
    long dimensions;        // at least 1
};

// Whether every point Tremor can give the book's values, in either accuracy
// configuration and for any stored value, keeps every shift within 31: the
// book's binary point within BOOK_POINT_LOWEST..BOOK_POINT_HIGHEST, and no
// value but 0 more than BOOK_POINT_SPAN below it (setup_limits.h).
bool book_points_within_range(const book_values &book);

#endif  // VELMORA_BOOK_POINTS_H
