#include "core/tremor_quantvals.h"

#include <cstdint>

namespace {

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

// base ^ exponent as Tremor computes it: a long that wraps on overflow.
long wrapped_power(long base, long exponent) {
    unsigned long power = 1;
    for (long i = 0; i < exponent; ++i) power *= static_cast<unsigned long>(base);
    return static_cast<long>(power);
}

}  // namespace

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

// Tremor starts from a guess and steps by one until vals ^ dimensions fits
// and (vals + 1) ^ dimensions does not. Its products agree from one step to
// the next, so it never turns back on itself: it ends, or wanders off.
long tremor_lookup1_values(long entries, long dimensions) {
    const int bits = ilog(static_cast<unsigned long>(entries));
    long vals = entries >> ((bits - 1) * (dimensions - 1) / dimensions);
    while (vals >= 0 && vals <= entries + 1) {
        const long fits = wrapped_power(vals, dimensions);
        const long next = wrapped_power(vals + 1, dimensions);
        if (fits <= entries && next > entries) return vals;
        vals += fits > entries ? -1 : 1;
    }
    return -1;
}
