#include "core/setup_floors.h"

#include <algorithm>

#include "core/setup_limits.h"

namespace {

constexpr long FLOOR_TYPES = 2;
constexpr int MOST_FLOOR1_PARTITIONS = 31;
constexpr int FLOOR1_CLASSES = 16;
constexpr int MOST_FLOOR1_POSTS = 63;

bool is_book(const setup_shape &shape, long book) { return book >= 0 && book < shape.books; }

// A line-spectral floor. Tremor divides its amplitude by (1 << bits) - 1,
// which is 0 on x86 for 32 bits (the shift wraps), and builds its tables
// dividing by the bark scale of half the rate, which is 0 below a rate of 2.
bool walk_floor0(setup_bits &b, const setup_shape &shape, floor_shape &floor) {
    const long order = b.read(8);
    const long rate = b.read(16);
    floor.bark_map = b.read(16);
    const long amplitude_bits = b.read(6);
    b.read(8);  // the amplitude offset
    const long books = b.read(4) + 1;
    if (b.ran_out() || order < 1 || rate < FLOOR0_LOWEST_RATE || floor.bark_map < 1) return false;
    if (floor.bark_map > FLOOR0_BARK_MAP_LIMIT || amplitude_bits > FLOOR0_AMPLITUDE_BITS_LIMIT) return false;
    for (long i = 0; i < books; ++i) {
        const long book = b.read(8);
        if (!is_book(shape, book) || shape.book[book].lookup_type == 0) return false;
    }
    return !b.ran_out();
}

// The classes of a piecewise-linear floor: each class's dimensions, its
// cascade book and subbooks. Fills dimensions; false where refused.
bool walk_floor1_classes(setup_bits &b, const setup_shape &shape, int classes, long (&dimensions)[FLOOR1_CLASSES]) {
    for (int c = 0; c < classes; ++c) {
        dimensions[c] = b.read(3) + 1;
        const long sub_bits = b.read(2);
        if (b.ran_out()) return false;
        if (sub_bits > 0 && !is_book(shape, b.read(8))) return false;
        for (long k = 0; k < (1L << sub_bits); ++k) {
            const long subbook = b.read(8) - 1;
            if (b.ran_out() || subbook >= shape.books) return false;
        }
    }
    return true;
}

// Its posts, which Tremor requires distinct (it divides by their spacing).
bool walk_floor1_posts(setup_bits &b, long count) {
    b.read(2);  // the multiplier
    const long range_bits = b.read(4);
    if (b.ran_out()) return false;
    long posts[MOST_FLOOR1_POSTS + 2] = {0, 1L << range_bits};
    for (long k = 0; k < count; ++k) {
        posts[k + 2] = b.read(static_cast<int>(range_bits));
        if (b.ran_out() || posts[k + 2] >= (1L << range_bits)) return false;
    }
    std::sort(posts, posts + count + 2);
    return std::adjacent_find(posts, posts + count + 2) == posts + count + 2;
}

bool walk_floor1(setup_bits &b, const setup_shape &shape) {
    const long partitions = b.read(5);
    int partition_class[MOST_FLOOR1_PARTITIONS];
    int classes = 0;
    for (long p = 0; p < partitions; ++p) {
        partition_class[p] = static_cast<int>(b.read(4));
        if (b.ran_out()) return false;
        classes = std::max(classes, partition_class[p] + 1);
    }
    long dimensions[FLOOR1_CLASSES];
    if (b.ran_out() || !walk_floor1_classes(b, shape, classes, dimensions)) return false;
    long count = 0;
    for (long p = 0; p < partitions; ++p) count += dimensions[partition_class[p]];
    if (count > MOST_FLOOR1_POSTS) return false;
    return walk_floor1_posts(b, count);
}

}  // namespace

bool walk_floors(setup_bits &b, setup_shape &shape) {
    shape.floors = static_cast<int>(b.read(6) + 1);
    for (int i = 0; i < shape.floors && !b.ran_out(); ++i) {
        floor_shape &floor = shape.floor[i];
        floor.type = static_cast<int>(b.read(16));
        floor.bark_map = 0;
        if (b.ran_out() || floor.type >= FLOOR_TYPES) return false;
        if (!(floor.type == 0 ? walk_floor0(b, shape, floor) : walk_floor1(b, shape))) return false;
    }
    return !b.ran_out();
}
