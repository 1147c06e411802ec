// Writes one setup header packet, field by field, from an input's choices.
// References between its parts (a floor's books, a residue's books, a
// mapping's floors and residues, a mode's mapping) mostly name something that
// exists, so Tremor gets past unpacking often enough to build its look-ups
// and decode.
#ifndef VELMORA_FUZZ_SETUP_HEADER_WRITER_H
#define VELMORA_FUZZ_SETUP_HEADER_WRITER_H

#include <cstdint>
#include <vector>

#include "fuzz/bit_writer.h"
#include "fuzz/edge_choices.h"

// Now and then a header follows a recipe that steers it, as a whole, to
// where one field alone rarely leads (see setup_header_stream.cpp).
struct setup_recipe {
    // One classbook of c^d entries, every residue classifying with it in c
    // classes, mappings of many submaps and many modes: Tremor builds a
    // residue's decode map (c^d entries) once per mode and submap.
    bool wide_lookups = false;
    // Residues of type 0 whose partition is most of a long block, over books
    // of dimension 1 or 2: the per-partition scratch is then tens of KiB.
    bool long_partitions = false;
    // The long block's exponent (11 to 13) when long_partitions is set.
    std::uint32_t long_block_exponent = 13;
    // A type 1 book that Tremor's value count miscounts, followed at once by
    // a hostile book (dimension 0, or 2^21 entries or more) aligned for it.
    bool miscount_then_hostile = false;

    bool any() const { return wide_lookups || long_partitions || miscount_then_hostile; }
    // Under a recipe the rest of the stream breaks the format a sixteenth as
    // often, so that what the recipe builds is mostly unpacked and used.
    std::uint32_t calm() const { return any() ? 16 : 1; }
};

class setup_header_writer {
public:
    setup_header_writer(edge_choices &in, bit_writer &out, std::uint32_t channels,
                        const setup_recipe &recipe = {})
        : in_(in), out_(out), channels_(channels), recipe_(recipe) {}

    void write();
    // Mode count as written, for the audio packets' mode numbers.
    std::uint32_t modes() const { return modes_; }

private:
    struct book {
        std::uint32_t entries;
        std::uint32_t dimensions;
        std::uint32_t lookup_type;
    };

    void codebook();
    void wide_classbook();
    void narrow_value_book();
    void miscounted_book();
    void hostile_book();
    void complete_ordered_book(std::uint32_t entries, std::uint32_t dimensions);
    void ordered_lengths(std::uint32_t entries);
    void unordered_lengths(std::uint32_t entries);
    void value_fields(std::uint32_t lookup_type, std::uint32_t entries, std::uint32_t dimensions);
    void floor0();
    void floor1();
    void residue();
    void mapping();
    void mode();

    // True about once in `one_in` picks, far rarer under a recipe: for the
    // choices that break the format.
    bool breaks(std::uint32_t one_in) { return in_.rarely(one_in * recipe_.calm()); }
    std::uint32_t count_field(int bits, std::uint32_t usual_most);
    std::uint32_t reference(std::uint32_t count, int bits);
    std::uint32_t book_reference() { return reference(static_cast<std::uint32_t>(books_.size()), 8); }
    void value_book_reference();
    std::uint32_t classification_count();

    edge_choices &in_;
    bit_writer &out_;
    std::uint32_t channels_;
    setup_recipe recipe_;
    std::vector<book> books_;
    // Books the recipe placed: the wide classbook and its class count, and
    // the low-dimension value book long partitions read through.
    std::uint32_t wide_classbook_ = 0;
    std::uint32_t wide_classes_ = 0;
    std::uint32_t narrow_book_ = 0;
    std::uint32_t times_ = 0;
    std::uint32_t floors_ = 0;
    std::uint32_t residues_ = 0;
    std::uint32_t mappings_ = 0;
    std::uint32_t modes_ = 0;
};

#endif  // VELMORA_FUZZ_SETUP_HEADER_WRITER_H
