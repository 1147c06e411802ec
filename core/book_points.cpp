#include "core/book_points.h"

#include <algorithm>

#include "core/setup_limits.h"

namespace {

constexpr unsigned long MANTISSA_MASK = 0x1fffff;
constexpr int MANTISSA_BITS = 21;
constexpr unsigned long EXPONENT_MASK = 0x3ff;
// Tremor's unpacking: the exponent less its bias (768) and the mantissa's
// width, then one less per place the mantissa moves up to bit 30.
constexpr long POINT_OFFSET = 768 + 20 + 30;

int ilog(unsigned long value) {
    int bits = 0;
    for (; value != 0; value >>= 1) ++bits;
    return bits;
}

struct unpacked {
    bool zero;
    long point;  // the value is a mantissa of 31 bits (bit 30 set) x 2^point
};

unpacked unpack(unsigned long packed) {
    const unsigned long mantissa = packed & MANTISSA_MASK;
    if (mantissa == 0) return {true, 0};
    const long exponent = static_cast<long>((packed >> MANTISSA_BITS) & EXPONENT_MASK);
    return {false, exponent - POINT_OFFSET + ilog(mantissa) - 1};
}

}  // namespace

// Every value is minimum + delta x q (q below 2^value_bits), plus the value
// before it in a sequence. Tremor's product delta x q has its point from
// delta's + 1 to delta's + value_bits + 1 (one less at low accuracy); a sum
// takes its larger term's point or one more, and one more only when it
// doubles in size, so a sequence of d values, each below 2^(top + 32), gains
// at most ilog(d) over its terms. A value of 0 takes the point of the other
// term, or point 0 when the minimum is 0 too; a value other than 0 never
// lies below the minimum's point (or the smallest product's, without one).
bool book_points_within_range(const book_values &book) {
    const unpacked minimum = unpack(book.minimum);
    const unpacked delta = unpack(book.delta);
    if (minimum.zero && delta.zero) return true;  // every value is 0
    const long largest_product = delta.point + book.value_bits;
    const long top = minimum.zero ? largest_product
                     : delta.zero ? minimum.point
                                  : std::max(minimum.point, largest_product);
    long highest = top + 2 + (book.sequence ? ilog(static_cast<unsigned long>(book.dimensions)) : 0);
    if (minimum.zero) highest = std::max(highest, 0L);
    const long lowest = minimum.zero ? delta.point + 1 : minimum.point;
    return lowest >= BOOK_POINT_LOWEST && highest <= BOOK_POINT_HIGHEST && highest - lowest <= BOOK_POINT_SPAN;
}
