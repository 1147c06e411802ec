#include "fuzz/setup_header_writer.h"

#include <algorithm>

namespace {

// Bits needed to hold value: 0 for 0, 1 for 1, 2 for 2 and 3, ...
int bit_length(std::uint64_t value) {
    int bits = 0;
    for (; value != 0; value >>= 1) ++bits;
    return bits;
}

// The format's value count of a lookup type 1 book: the largest r with
// r^dimensions <= entries, computed without overflow. A book of dimension 0
// has none written.
std::uint64_t lookup1_values(std::uint32_t entries, std::uint32_t dimensions) {
    if (dimensions == 0) return 0;
    if (dimensions == 1) return entries;
    auto fits = [&](std::uint64_t r) {
        std::uint64_t product = 1;
        for (std::uint32_t i = 0; i < dimensions; ++i) {
            product *= r;
            if (product > entries) return false;
        }
        return true;
    };
    std::uint64_t r = 0;
    while (fits(r + 1)) ++r;  // at most 4096 steps: dimensions >= 2, entries < 2^24
    return r;
}

// What Tremor's type 1 value count returns where long is 64 bits: it raises
// candidates to the power dimensions in a long that wraps, so for one entry
// over 63 dimensions it settles on 6, over 64 or 65 on 2.
std::uint64_t tremor_lookup1_values(std::uint32_t entries, std::uint32_t dimensions) {
    auto wrapped = [](std::uint64_t v) { return static_cast<std::int64_t>(v); };
    std::int64_t vals = entries >> ((bit_length(entries) - 1) * (dimensions - 1) / dimensions);
    for (int step = 0; step < 256; ++step) {
        std::uint64_t acc = 1, acc1 = 1;
        for (std::uint32_t i = 0; i < dimensions; ++i) {
            acc *= static_cast<std::uint64_t>(vals);
            acc1 *= static_cast<std::uint64_t>(vals + 1);
        }
        if (wrapped(acc) <= entries && wrapped(acc1) > entries) return static_cast<std::uint64_t>(vals);
        vals += wrapped(acc) > entries ? -1 : 1;
    }
    return lookup1_values(entries, dimensions);
}

// Lengths of a complete prefix code over `used` entries: the shortest
// `short_count` are one bit shorter than the rest. One entry gets length 1.
struct complete_code {
    explicit complete_code(std::uint64_t used) {
        const int k = used <= 1 ? 1 : bit_length(used - 1);
        long_length = static_cast<std::uint32_t>(k);
        short_count = used <= 1 ? 0 : (std::uint64_t{1} << k) - used;
    }
    std::uint32_t length_of(std::uint64_t index) const {
        return index < short_count ? long_length - 1 : long_length;
    }
    std::uint32_t long_length;
    std::uint64_t short_count;
};

}  // namespace

std::uint32_t setup_header_writer::count_field(int bits, std::uint32_t usual_most) {
    const std::uint32_t minus_one = in_.small_or_edge(0, usual_most - 1, bits);
    out_.write(minus_one, bits);
    return minus_one + 1;
}

// Mostly an index that exists; now and then any value of the field.
std::uint32_t setup_header_writer::reference(std::uint32_t count, int bits) {
    const std::uint32_t value = breaks(64) || count == 0 ? in_.edge(bits) : in_.pick(count);
    out_.write(value, bits);
    return value;
}

void setup_header_writer::write() {
    out_.write(5, 8);
    out_.write_bytes("vorbis", 6);
    // The recipe's books come first, then the input's own.
    const std::uint32_t placed = (recipe_.wide_lookups ? 1u : 0u) + (recipe_.long_partitions ? 1u : 0u) +
                                 (recipe_.miscount_then_hostile ? 3u : 0u);
    const std::uint32_t own = recipe_.any() && !in_.rarely(4) ? 0 : 1 + in_.small_or_edge(0, 3, 8);
    const std::uint32_t books = std::min<std::uint32_t>(256, std::max<std::uint32_t>(1, placed + own));
    out_.write(books - 1, 8);
    if (recipe_.wide_lookups) wide_classbook();
    if (recipe_.long_partitions) narrow_value_book();
    if (recipe_.miscount_then_hostile) {
        // A plain classbook first, so the residues unpack whatever follows.
        complete_ordered_book(1 + in_.pick(16), 1);
        miscounted_book();
        hostile_book();
    }
    for (std::uint32_t i = placed; i < books && !out_.full(); ++i) codebook();
    times_ = count_field(6, 1);
    for (std::uint32_t i = 0; i < times_; ++i) out_.write(breaks(32) ? in_.edge(16) : 0, 16);
    floors_ = count_field(6, 3);
    for (std::uint32_t i = 0; i < floors_; ++i) {
        const std::uint32_t type = breaks(32) ? in_.edge(16) : recipe_.long_partitions ? 1 : in_.pick(2);
        out_.write(type, 16);
        if (type == 0) floor0();
        else floor1();
    }
    residues_ = count_field(6, 3);
    for (std::uint32_t i = 0; i < residues_; ++i) residue();
    mappings_ = count_field(6, 2);
    for (std::uint32_t i = 0; i < mappings_; ++i) mapping();
    if (recipe_.wide_lookups) {
        // Many modes over the same mappings: each builds its own look-ups.
        modes_ = 64 - in_.pick(33);
        out_.write(modes_ - 1, 6);
    } else {
        modes_ = count_field(6, 3);
    }
    for (std::uint32_t i = 0; i < modes_; ++i) mode();
    out_.write(breaks(32) ? 0 : 1, 1);  // framing
}

void setup_header_writer::codebook() {
    out_.write(0x564342, 24);
    std::uint32_t dimensions = in_.small_or_edge(1, 8, 16);
    std::uint32_t entries = in_.small_or_edge(1, 256, 24);
    if (in_.rarely(8)) {
        // Few entries over many dimensions: where r^dimensions overflows a
        // 32- or 64-bit product while counting a type 1 book's values.
        static constexpr std::uint32_t wide[] = {31, 32, 33, 34, 62, 63, 64, 65};
        dimensions = wide[in_.pick(8)];
        entries = 1 + in_.pick(3);
    }
    out_.write(dimensions, 16);
    out_.write(entries, 24);
    // Large books mostly come ordered: five bits per entry would fill the packet.
    const bool ordered = entries > 4096 ? !in_.rarely(4) : in_.rarely(4);
    out_.write(ordered ? 1 : 0, 1);
    if (ordered) ordered_lengths(entries);
    else unordered_lengths(entries);
    // Value-mapped books are what residues need, so they come more often.
    static constexpr std::uint32_t usual_types[] = {0, 1, 1, 2};
    const std::uint32_t lookup_type = in_.rarely(32) ? in_.raw(4) : usual_types[in_.pick(4)];
    out_.write(lookup_type, 4);
    if (lookup_type == 1 || lookup_type == 2) value_fields(lookup_type, entries, dimensions);
    books_.push_back({entries, dimensions, lookup_type});
}

// An ordered book whose lengths make a complete code, without values: cheap
// to write whatever its entry count.
void setup_header_writer::complete_ordered_book(std::uint32_t entries, std::uint32_t dimensions) {
    out_.write(0x564342, 24);
    out_.write(dimensions, 16);
    out_.write(entries, 24);
    out_.write(1, 1);
    const complete_code code(entries);
    const std::uint32_t first = code.short_count == 0 ? code.long_length : code.long_length - 1;
    out_.write(first - 1, 5);
    std::uint64_t done = 0;
    if (code.short_count != 0) {
        out_.write(static_cast<std::uint32_t>(code.short_count), bit_length(entries));
        done = code.short_count;
    }
    out_.write(static_cast<std::uint32_t>(entries - done), bit_length(entries - done));
    out_.write(0, 4);  // lookup type 0
    books_.push_back({entries, dimensions, 0});
}

// c^d entries over d dimensions (c classes, d from 2 to 5), within the
// entry count a setup may declare: the largest decode map a residue can ask
// for from a book that size.
void setup_header_writer::wide_classbook() {
    static constexpr std::uint32_t shapes[][2] = {{64, 3}, {60, 3}, {48, 3}, {22, 4}, {20, 4}, {16, 4}, {64, 2}, {12, 5}};
    const auto &shape = shapes[in_.pick(8)];
    std::uint32_t entries = 1;
    for (std::uint32_t i = 0; i < shape[1]; ++i) entries *= shape[0];
    wide_classbook_ = static_cast<std::uint32_t>(books_.size());
    wide_classes_ = shape[0];
    complete_ordered_book(entries, shape[1]);
}

// A value book of dimension 1 or 2 and a few entries, for long partitions.
void setup_header_writer::narrow_value_book() {
    narrow_book_ = static_cast<std::uint32_t>(books_.size());
    const std::uint32_t dimensions = 1 + in_.pick(2);
    const std::uint32_t entries = 2 + in_.pick(15);
    out_.write(0x564342, 24);
    out_.write(dimensions, 16);
    out_.write(entries, 24);
    out_.write(0, 1);  // unordered
    unordered_lengths(entries);
    const std::uint32_t lookup_type = 1 + in_.pick(2);
    out_.write(lookup_type, 4);
    value_fields(lookup_type, entries, dimensions);
    books_.push_back({entries, dimensions, lookup_type});
}

// One entry over 63 to 65 dimensions, lookup type 1: Tremor counts 6 or 2
// values where the format counts 1, and they are written as Tremor reads
// them. The entry is mostly unused, so Tremor never expands the book and
// reads on; a reader that counts right is now some value widths off.
void setup_header_writer::miscounted_book() {
    const std::uint32_t dimensions = 63 + in_.pick(3);
    out_.write(0x564342, 24);
    out_.write(dimensions, 16);
    out_.write(1, 24);
    out_.write(0, 1);  // unordered
    const bool used = in_.rarely(8);
    out_.write(1, 1);  // sparse
    out_.write(used ? 1 : 0, 1);
    if (used) out_.write(0, 5);
    out_.write(1, 4);  // lookup type 1
    out_.write(in_.edge(32), 32);
    out_.write(in_.edge(32), 32);
    const std::uint32_t value_bits = 1 + in_.small_or_edge(0, 7, 4);
    out_.write(value_bits - 1, 4);
    out_.write(in_.flag() ? 1 : 0, 1);
    const std::uint64_t values = tremor_lookup1_values(1, dimensions);
    for (std::uint64_t i = 0; i < values; ++i) out_.write(in_.raw(static_cast<int>(value_bits)), value_bits);
    // Kept out of the value books a residue picks: its fault is its own.
    books_.push_back({1, dimensions, 0});
}

// What must never get past a setup check: a value book of dimension 0, or a
// book of 2^21 entries or more.
void setup_header_writer::hostile_book() {
    if (in_.flag()) {
        // 2^21 to 2^22 - 1 entries over 1 or 2 dimensions: the largest a
        // reader that refuses over 2^24 entries x dimensions lets through.
        complete_ordered_book((1u << 21) + (in_.flag() ? 0 : in_.raw(21)), 1 + in_.pick(2));
        return;
    }
    const std::uint32_t entries = 1 + in_.pick(16);
    out_.write(0x564342, 24);
    out_.write(0, 16);
    out_.write(entries, 24);
    out_.write(0, 1);  // unordered
    unordered_lengths(entries);
    // Type 1's count has no answer at dimension 0; type 2 has no values.
    const std::uint32_t lookup_type = in_.rarely(4) ? 2 : 1;
    out_.write(lookup_type, 4);
    value_fields(lookup_type, entries, 0);
    books_.push_back({entries, 0, lookup_type});
}

// Runs of equal lengths, each count in ilog(entries left) bits: a complete
// code, or runs the input picks.
void setup_header_writer::ordered_lengths(std::uint32_t entries) {
    if (!in_.rarely(8)) {
        const complete_code code(entries);
        const std::uint32_t first = code.short_count == 0 ? code.long_length : code.long_length - 1;
        out_.write(first - 1, 5);
        std::uint64_t done = 0;
        if (code.short_count != 0) {
            out_.write(static_cast<std::uint32_t>(code.short_count), bit_length(entries));
            done = code.short_count;
        }
        out_.write(static_cast<std::uint32_t>(entries - done), bit_length(entries - done));
        return;
    }
    out_.write(in_.small_or_edge(0, 15, 5), 5);
    std::uint32_t done = 0;
    for (int run = 0; done < entries && !out_.full(); ++run) {
        const std::uint32_t left = entries - done;
        std::uint32_t count = run >= 32 || in_.flag() ? left : in_.edge(bit_length(left));
        if (count > left && !in_.rarely(8)) count = left;
        out_.write(count, bit_length(left));
        if (count > left) return;  // Tremor refuses it here
        done += count;
    }
}

// Five bits per entry, after a used flag when the book is sparse.
void setup_header_writer::unordered_lengths(std::uint32_t entries) {
    const bool sparse = in_.rarely(4);
    out_.write(sparse ? 1 : 0, 1);
    // Every stride-th entry is used, starting at `first`: a book may have
    // none in use, which Tremor then never expands.
    const std::uint32_t stride = sparse ? 1 + in_.pick(4) : 1;
    const std::uint32_t first = sparse ? in_.pick(stride) : 0;
    const bool any_lengths = in_.rarely(8);
    const complete_code code(first < entries ? (entries - 1 - first) / stride + 1 : 0);
    std::uint64_t used = 0;
    for (std::uint32_t i = 0; i < entries && !out_.full(); ++i) {
        const bool is_used = i >= first && (i - first) % stride == 0;
        if (sparse) out_.write(is_used ? 1 : 0, 1);
        if (!is_used) continue;
        const std::uint32_t length = any_lengths ? 1 + in_.pick(32) : code.length_of(used);
        out_.write(length - 1, 5);
        ++used;
    }
}

// Minimum, delta, value width, sequence flag, then the format's count of
// values: lookup1_values for type 1, entries x dimensions for type 2.
void setup_header_writer::value_fields(std::uint32_t lookup_type, std::uint32_t entries,
                                       std::uint32_t dimensions) {
    out_.write(in_.edge(32), 32);
    out_.write(in_.edge(32), 32);
    const std::uint32_t value_bits = 1 + in_.small_or_edge(0, 7, 4);
    out_.write(value_bits - 1, 4);
    out_.write(in_.flag() ? 1 : 0, 1);
    std::uint64_t values = lookup_type == 1 ? lookup1_values(entries, dimensions)
                                            : std::uint64_t{entries} * dimensions;
    // Now and then one value more than the format counts: what a decoder that
    // miscounts a type 1 book reads, so the rest of the header lines up for
    // it and not for a reader that counts right.
    if (lookup_type == 1 && in_.rarely(4)) ++values;
    for (std::uint64_t i = 0; i < values && !out_.full(); ++i) out_.write(in_.raw(static_cast<int>(value_bits)), value_bits);
}

void setup_header_writer::floor0() {
    out_.write(in_.small_or_edge(1, 32, 8), 8);          // order
    out_.write(in_.rarely(8) ? in_.edge(16) : 44100, 16);  // rate
    out_.write(in_.small_or_edge(1, 256, 16), 16);       // bark map size
    out_.write(in_.rarely(2) ? in_.edge(6) : 1 + in_.pick(16), 6);  // amplitude bits
    out_.write(in_.edge(8), 8);                          // amplitude offset
    const std::uint32_t books = count_field(4, 2);
    for (std::uint32_t i = 0; i < books; ++i) value_book_reference();
}

void setup_header_writer::floor1() {
    // With long partitions, mostly a floor of its two end points alone, which
    // always unpacks and is in use whenever the packet's first bit says so,
    // so the residue behind it is decoded.
    const std::uint32_t partitions = recipe_.long_partitions && !in_.rarely(4) ? 0 : in_.small_or_edge(0, 4, 5);
    out_.write(partitions, 5);
    std::uint32_t partition_class[32];
    std::uint32_t max_class = 0;
    for (std::uint32_t i = 0; i < partitions; ++i) {
        partition_class[i] = in_.small_or_edge(0, 2, 4);
        out_.write(partition_class[i], 4);
        if (partition_class[i] > max_class) max_class = partition_class[i];
    }
    std::uint32_t class_dimensions[16];
    for (std::uint32_t c = 0; c <= max_class && partitions > 0; ++c) {
        class_dimensions[c] = 1 + in_.pick(8);
        out_.write(class_dimensions[c] - 1, 3);
        const std::uint32_t subclasses = in_.pick(4);
        out_.write(subclasses, 2);
        if (subclasses != 0) book_reference();
        for (std::uint32_t s = 0; s < (1u << subclasses); ++s) {
            out_.write(breaks(16) ? in_.edge(8) : in_.pick(static_cast<std::uint32_t>(books_.size()) + 1), 8);
        }
    }
    out_.write(in_.pick(4), 2);  // multiplier - 1
    const std::uint32_t range_bits = in_.small_or_edge(4, 15, 4);
    out_.write(range_bits, 4);
    // X positions: Tremor refuses a repeated one, and 0 and 2^range_bits are
    // already taken, so mostly distinct values in between.
    std::vector<std::uint32_t> taken{0, 1u << range_bits};
    for (std::uint32_t i = 0; i < partitions; ++i) {
        for (std::uint32_t d = 0; d < class_dimensions[partition_class[i]]; ++d) {
            std::uint32_t x = in_.raw(static_cast<int>(range_bits));
            for (int tries = 0; tries < 64 && std::count(taken.begin(), taken.end(), x) != 0; ++tries) {
                x = (x + 1) & ((1u << range_bits) - 1);
            }
            taken.push_back(x);
            out_.write(x, range_bits);
        }
    }
}

void setup_header_writer::residue() {
    if (recipe_.long_partitions && !in_.rarely(4)) {
        // Type 0 over the whole long block, in partitions of a half or a
        // quarter of it.
        const std::uint32_t block = 1u << recipe_.long_block_exponent;
        out_.write(in_.rarely(8) ? 1 + in_.pick(2) : 0, 16);
        out_.write(0, 24);
        out_.write(in_.rarely(4) ? in_.edge(24) : block, 24);
        out_.write((block >> (1 + in_.pick(2))) - 1, 24);
    } else {
        out_.write(breaks(32) ? in_.edge(16) : in_.pick(3), 16);  // type
        out_.write(in_.rarely(4) ? in_.edge(24) : 0, 24);              // begin
        out_.write(in_.rarely(4) ? in_.edge(24) : 32u << in_.pick(8), 24);  // end
        // Partition size - 1: powers of two mostly, up to the longest block.
        out_.write(in_.rarely(8) ? in_.edge(24) : (1u << in_.pick(13)) - 1, 24);
    }
    const std::uint32_t classifications = classification_count();
    std::uint32_t books = 0;
    for (std::uint32_t i = 0; i < classifications; ++i) {
        std::uint32_t cascade = in_.rarely(4) ? in_.raw(8) : in_.raw(3);
        if (recipe_.long_partitions) cascade |= 1;  // every class reads its first stage
        out_.write(cascade & 7, 3);
        out_.write(cascade > 7 ? 1 : 0, 1);
        if (cascade > 7) out_.write(cascade >> 3, 5);
        for (std::uint32_t bits = cascade; bits != 0; bits >>= 1) books += bits & 1;
    }
    for (std::uint32_t i = 0; i < books; ++i) value_book_reference();
}

// Writes the classification count and the classbook. Mostly the count fits
// the classbook (count^dimensions <= entries, which Tremor demands), so the
// residue unpacks.
std::uint32_t setup_header_writer::classification_count() {
    if (recipe_.wide_lookups && !in_.rarely(8)) {
        out_.write(wide_classes_ - 1, 6);
        out_.write(wide_classbook_, 8);
        return wide_classes_;
    }
    // Tremor refuses a classbook of dimension 0, and one over more
    // dimensions than a vector holds is of no use: mostly another.
    std::vector<std::uint32_t> usable;
    for (std::uint32_t i = 0; i < books_.size(); ++i) {
        if (books_[i].dimensions >= 1 && books_[i].dimensions <= 16) usable.push_back(i);
    }
    const std::uint32_t classbook = usable.empty() || breaks(16)
                                        ? in_.pick(static_cast<std::uint32_t>(books_.size()))
                                        : usable[in_.pick(static_cast<std::uint32_t>(usable.size()))];
    const book &b = books_[classbook];
    const std::uint64_t fitting = lookup1_values(b.entries, b.dimensions);
    std::uint32_t count = fitting == 0 ? 1 : 1 + in_.pick(static_cast<std::uint32_t>(fitting < 64 ? fitting : 64));
    if (breaks(32)) count = 1 + in_.edge(6);
    out_.write(count - 1, 6);
    if (breaks(32)) book_reference();
    else out_.write(classbook, 8);
    return count;
}

// Residue books must be value-mapped: mostly one of those.
void setup_header_writer::value_book_reference() {
    if (recipe_.long_partitions && !in_.rarely(4)) {
        out_.write(narrow_book_, 8);
        return;
    }
    std::vector<std::uint32_t> mapped;
    for (std::uint32_t i = 0; i < books_.size(); ++i) {
        if (books_[i].lookup_type == 1 || books_[i].lookup_type == 2) mapped.push_back(i);
    }
    if (mapped.empty() || breaks(64)) {
        book_reference();
        return;
    }
    out_.write(mapped[in_.pick(static_cast<std::uint32_t>(mapped.size()))], 8);
}

void setup_header_writer::mapping() {
    out_.write(breaks(32) ? in_.edge(16) : 0, 16);
    const bool has_submaps = recipe_.wide_lookups ? !in_.rarely(8) : in_.flag();
    out_.write(has_submaps ? 1 : 0, 1);
    std::uint32_t submaps = has_submaps ? 1 + in_.small_or_edge(0, 3, 4) : 1;
    // Many submaps, each with its own look-ups of the same floor and residue.
    if (has_submaps && recipe_.wide_lookups) submaps = 16 - in_.pick(8);
    if (has_submaps) out_.write(submaps - 1, 4);
    const bool coupled = channels_ > 1 && in_.flag();
    out_.write(coupled ? 1 : 0, 1);
    if (coupled) {
        const std::uint32_t steps = count_field(8, 2);
        const int bits = bit_length(channels_ - 1);
        for (std::uint32_t i = 0; i < steps; ++i) {
            const std::uint32_t magnitude = reference(channels_, bits);
            std::uint32_t angle = in_.pick(channels_);
            if (angle == magnitude && !in_.rarely(16)) angle = (angle + 1) % channels_;
            out_.write(angle, bits);
        }
    }
    out_.write(breaks(32) ? in_.raw(2) : 0, 2);  // reserved
    if (submaps > 1) {
        for (std::uint32_t c = 0; c < channels_; ++c) reference(submaps, 4);
    }
    for (std::uint32_t s = 0; s < submaps; ++s) {
        reference(times_, 8);  // time configuration: unused, but must exist
        reference(floors_, 8);
        reference(residues_, 8);
    }
}

void setup_header_writer::mode() {
    const bool long_block = recipe_.long_partitions ? !in_.rarely(8) : in_.flag();
    out_.write(long_block ? 1 : 0, 1);                   // block flag
    out_.write(breaks(32) ? in_.edge(16) : 0, 16);  // window type
    out_.write(breaks(32) ? in_.edge(16) : 0, 16);  // transform type
    reference(mappings_, 8);
}
