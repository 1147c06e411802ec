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

class setup_header_writer {
public:
    setup_header_writer(edge_choices &in, bit_writer &out, std::uint32_t channels)
        : in_(in), out_(out), channels_(channels) {}

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
    void ordered_lengths(std::uint32_t entries);
    void unordered_lengths(std::uint32_t entries);
    void value_fields(std::uint32_t lookup_type, std::uint32_t entries, std::uint32_t dimensions);
    void floor0();
    void floor1();
    void residue();
    void mapping();
    void mode();

    std::uint32_t count_field(int bits, std::uint32_t usual_most);
    std::uint32_t reference(std::uint32_t count, int bits);
    std::uint32_t book_reference() { return reference(static_cast<std::uint32_t>(books_.size()), 8); }
    void value_book_reference();
    std::uint32_t classification_count();

    edge_choices &in_;
    bit_writer &out_;
    std::uint32_t channels_;
    std::vector<book> books_;
    std::uint32_t times_ = 0;
    std::uint32_t floors_ = 0;
    std::uint32_t residues_ = 0;
    std::uint32_t mappings_ = 0;
    std::uint32_t modes_ = 0;
};

#endif  // VELMORA_FUZZ_SETUP_HEADER_WRITER_H
