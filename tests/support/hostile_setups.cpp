#include "support/hostile_setups.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <stdexcept>

#include "support/test_data.h"

int bit_count(std::uint32_t value) {
    int bits = 0;
    for (; value != 0; value >>= 1) ++bits;
    return bits;
}

std::uint32_t lookup1_values(std::uint32_t entries, std::uint32_t dimensions) {
    auto fits = [&](std::uint64_t base) {
        std::uint64_t power = 1;
        for (std::uint32_t i = 0; i < dimensions && power <= entries; ++i) power *= base;
        return power <= entries;
    };
    std::uint32_t values = 0;
    while (fits(values + 1)) ++values;
    return values;
}

namespace {

constexpr std::size_t PAGE_HEADER_BYTES = 27;

// A header packet's bits, least significant first as Vorbis packs them.
class packet_bits {
public:
    explicit packet_bits(const bytes &packet) {
        for (std::uint8_t byte : packet)
            for (int k = 0; k < 8; ++k) bits_.push_back((byte >> k) & 1);
    }
    std::uint32_t read(std::size_t &at, int width) const {
        std::uint32_t value = 0;
        for (int k = 0; k < width; ++k, ++at) value |= std::uint32_t{bits_.at(at)} << k;
        return value;
    }
    void write(std::size_t at, int width, std::uint32_t value) {
        for (int k = 0; k < width; ++k) bits_.at(at + k) = (value >> k) & 1;
    }
    // The bits from..to replaced by those of another packet_bits.
    void replace(std::size_t from, std::size_t to, const packet_bits &with) {
        bits_.erase(bits_.begin() + static_cast<std::ptrdiff_t>(from), bits_.begin() + static_cast<std::ptrdiff_t>(to));
        bits_.insert(bits_.begin() + static_cast<std::ptrdiff_t>(from), with.bits_.begin(), with.bits_.end());
    }
    void append(int width, std::uint32_t value) {
        for (int k = 0; k < width; ++k) bits_.push_back((value >> k) & 1);
    }
    bytes packet() const {
        bytes out((bits_.size() + 7) / 8, 0);
        for (std::size_t i = 0; i < bits_.size(); ++i) out[i / 8] |= static_cast<std::uint8_t>(bits_[i] << (i % 8));
        return out;
    }

private:
    std::vector<std::uint8_t> bits_;
};

struct codebook_at {
    std::size_t begin, end;
    std::uint32_t lookup_type;
};

// Where the fields of a setup header lie, as far as the rewrites need.
struct setup_layout {
    std::vector<codebook_at> books;
    std::vector<std::size_t> floor_0s;  // each floor 0's first field (order)
    std::vector<std::size_t> residues;  // each residue's type field
};

void skip_codebook(const packet_bits &b, std::size_t &at, setup_layout &layout) {
    codebook_at book{at, 0, 0};
    if (b.read(at, 24) != 0x564342) throw std::runtime_error("codebook out of sync");
    const std::uint32_t dimensions = b.read(at, 16);
    const std::uint32_t entries = b.read(at, 24);
    if (b.read(at, 1)) {  // ordered lengths: runs
        at += 5;
        for (std::uint32_t entry = 0; entry < entries;) entry += b.read(at, bit_count(entries - entry));
    } else {
        const bool sparse = b.read(at, 1);
        for (std::uint32_t entry = 0; entry < entries; ++entry)
            if (!sparse || b.read(at, 1)) at += 5;
    }
    book.lookup_type = b.read(at, 4);
    if (book.lookup_type == 1 || book.lookup_type == 2) {
        at += 64;
        const std::uint32_t value_bits = b.read(at, 4) + 1;
        at += 1;
        at += std::size_t{value_bits} *
              (book.lookup_type == 1 ? lookup1_values(entries, dimensions) : entries * dimensions);
    }
    book.end = at;
    layout.books.push_back(book);
}

void skip_floor(const packet_bits &b, std::size_t &at, setup_layout &layout) {
    const std::uint32_t type = b.read(at, 16);
    if (type == 0) {
        layout.floor_0s.push_back(at);
        at += 8 + 16 + 16 + 6 + 8;
        at += 8 * (b.read(at, 4) + 1);
        return;
    }
    const std::uint32_t partitions = b.read(at, 5);
    std::vector<std::uint32_t> classes;
    std::uint32_t most = 0;
    for (std::uint32_t i = 0; i < partitions; ++i) {
        classes.push_back(b.read(at, 4));
        most = std::max(most, classes.back() + 1);
    }
    std::vector<std::uint32_t> dimensions;
    for (std::uint32_t c = 0; c < most; ++c) {
        dimensions.push_back(b.read(at, 3) + 1);
        const std::uint32_t subclasses = b.read(at, 2);
        if (subclasses) at += 8;
        at += 8u << subclasses;
    }
    at += 2;
    const std::uint32_t range_bits = b.read(at, 4);
    for (std::uint32_t c : classes) at += range_bits * dimensions[c];
}

void skip_residue(const packet_bits &b, std::size_t &at, setup_layout &layout) {
    layout.residues.push_back(at);
    at += 16 + 3 * 24;
    const std::uint32_t classifications = b.read(at, 6) + 1;
    at += 8;
    int books = 0;
    for (std::uint32_t i = 0; i < classifications; ++i) {
        std::uint32_t cascade = b.read(at, 3);
        if (b.read(at, 1)) cascade |= b.read(at, 5) << 3;
        for (; cascade != 0; cascade >>= 1) books += cascade & 1;
    }
    at += 8 * static_cast<std::size_t>(books);
}

setup_layout layout_of(const packet_bits &b) {
    setup_layout layout;
    std::size_t at = 7 * 8;  // packet type and "vorbis"
    for (std::uint32_t i = 0, books = b.read(at, 8) + 1; i < books; ++i) skip_codebook(b, at, layout);
    at += 16 * (b.read(at, 6) + 1);  // time domain placeholders
    for (std::uint32_t i = 0, floors = b.read(at, 6) + 1; i < floors; ++i) skip_floor(b, at, layout);
    for (std::uint32_t i = 0, residues = b.read(at, 6) + 1; i < residues; ++i) skip_residue(b, at, layout);
    return layout;
}

// A stream cut at its header packets: the identification header's page, the
// comment and setup headers, and the pages of audio after them.
struct split_stream {
    std::uint32_t serial = 0;
    bytes first_page;
    bytes comment, setup;
    std::vector<bytes> audio_pages;

    explicit split_stream(const bytes &stream) {
        const std::vector<bytes> pages = pages_of(stream);
        serial = serial_of(pages.at(0));
        first_page = pages[0];
        std::vector<bytes> packets;
        bytes packet;
        std::size_t page = 1;
        for (; packets.size() < 2; ++page) {
            const bytes &p = pages.at(page);
            std::size_t at = PAGE_HEADER_BYTES + p[26];
            for (std::size_t i = 0; i < p[26]; ++i) {
                packet.insert(packet.end(), p.begin() + static_cast<std::ptrdiff_t>(at),
                              p.begin() + static_cast<std::ptrdiff_t>(at + p[PAGE_HEADER_BYTES + i]));
                at += p[PAGE_HEADER_BYTES + i];
                if (p[PAGE_HEADER_BYTES + i] < 255) packets.push_back(std::move(packet)), packet.clear();
            }
        }
        if (packets.size() != 2) throw std::runtime_error("audio shares the setup header's page");
        comment = packets[0];
        setup = packets[1];
        audio_pages.assign(pages.begin() + static_cast<std::ptrdiff_t>(page), pages.end());
    }

    bytes joined(const std::vector<bytes> &headers) const {
        std::vector<bytes> out = {first_page};
        for (bytes &p : pages_for(serial, headers, false)) out.push_back(std::move(p));
        out.insert(out.end(), audio_pages.begin(), audio_pages.end());
        return joined_pages(out);
    }
    bytes with_setup(const bytes &new_setup) const { return joined({comment, new_setup}); }

    // Long blocks of 2^exponent samples, in the identification header.
    void set_long_block_exponent(int exponent) {
        const std::size_t blocksizes = PAGE_HEADER_BYTES + first_page[26] + 28;
        first_page.at(blocksizes) = static_cast<std::uint8_t>((first_page[blocksizes] & 0x0F) | exponent << 4);
    }
};

bytes stereo44() { return read_bytes(fixture_path("stereo44.ogg")); }

bytes floor_0_vector() {
    const std::string dir = shared_testdata_dir("vorbis-vectors");
    return dir.empty() ? bytes() : read_bytes(dir + "/6ch-moving-sine-floor0.ogg");
}

// Every floor 0 of the stream's setup with one field rewritten.
bytes with_floor_0_field(const bytes &stream, std::size_t offset, int width, std::uint32_t value) {
    if (stream.empty()) return {};
    const split_stream split(stream);
    packet_bits setup(split.setup);
    const setup_layout layout = layout_of(setup);
    if (layout.floor_0s.empty()) throw std::runtime_error("no floor 0");
    for (std::size_t at : layout.floor_0s) setup.write(at + offset, width, value);
    return split.with_setup(setup.packet());
}

}  // namespace

hostile_setup type_1_book_of_64_dimensions() {
    const split_stream split(stereo44());
    packet_bits setup(split.setup);
    for (const codebook_at &book : layout_of(setup).books) {
        if (book.lookup_type != 1) continue;
        packet_bits replacement(bytes{});
        replacement.append(24, 0x564342);
        replacement.append(16, 64);  // dimensions
        replacement.append(24, 1);   // entries
        replacement.append(2, 0);    // unordered, none unused
        replacement.append(5, 0);    // of length 1
        replacement.append(4, 1);    // lookup type 1
        replacement.append(32, 0x80000000u | 788u << 21 | 1u);  // minimum -1
        replacement.append(32, 788u << 21 | 1u);                // delta 1
        replacement.append(4, 7);    // 8-bit values
        replacement.append(1, 0);    // not a sequence
        replacement.append(8, 1);
        replacement.append(8, 2);
        setup.replace(book.begin, book.end, replacement);
        return {"type_1_book_of_64_dimensions", split.with_setup(setup.packet())};
    }
    throw std::runtime_error("stereo44.ogg has no lookup type 1 codebook");
}

hostile_setup value_book_of_0_dimensions() {
    const split_stream split(stereo44());
    packet_bits setup(split.setup);
    for (const codebook_at &book : layout_of(setup).books) {
        if (book.lookup_type != 1) continue;
        packet_bits replacement(bytes{});
        replacement.append(24, 0x564342);
        replacement.append(16, 0);  // dimensions
        replacement.append(24, 1);  // entries
        replacement.append(2, 0);   // unordered, none unused
        replacement.append(5, 0);   // of length 1
        replacement.append(4, 1);   // lookup type 1: its value count divides by the dimensions
        replacement.append(32, 0x80000000u | 788u << 21 | 1u);  // minimum -1
        replacement.append(32, 788u << 21 | 1u);                // delta 1
        replacement.append(4, 7);   // 8-bit values
        replacement.append(1, 0);   // not a sequence, and no values
        setup.replace(book.begin, book.end, replacement);
        return {"value_book_of_0_dimensions", split.with_setup(setup.packet())};
    }
    throw std::runtime_error("stereo44.ogg has no lookup type 1 codebook");
}

hostile_setup floor_0_amplitude_of_32_bits() {
    return {"floor_0_amplitude_of_32_bits", with_floor_0_field(floor_0_vector(), 8 + 16 + 16, 6, 32)};
}

hostile_setup floor_0_rate_of_1() {
    return {"floor_0_rate_of_1", with_floor_0_field(floor_0_vector(), 8, 16, 1)};
}

hostile_setup residue_0_partitions_of_4096() {
    split_stream split(stereo44());
    split.set_long_block_exponent(13);
    packet_bits setup(split.setup);
    for (std::size_t at : layout_of(setup).residues) {
        setup.write(at, 16, 0);                 // type 0
        setup.write(at + 16, 24, 0);            // begins at 0
        setup.write(at + 16 + 24, 24, 4096);    // ends at 4096
        setup.write(at + 16 + 48, 24, 4096 - 1);
    }
    return {"residue_0_partitions_of_4096", split.with_setup(setup.packet())};
}

hostile_setup comment_header_twice() {
    const split_stream split(stereo44());
    return {"comment_header_twice", split.joined({split.comment, split.comment, split.setup})};
}

std::vector<hostile_setup> hostile_setups() {
    std::vector<hostile_setup> all = {type_1_book_of_64_dimensions(), value_book_of_0_dimensions(),
                                      floor_0_amplitude_of_32_bits(),
                                      floor_0_rate_of_1(), residue_0_partitions_of_4096(),
                                      comment_header_twice()};
    std::vector<hostile_setup> present;
    for (hostile_setup &s : all)
        if (!s.stream.empty()) present.push_back(std::move(s));
    return present;
}
