#include "fuzz/setup_header_stream.h"

#include <ogg/ogg.h>

#include "fuzz/bit_writer.h"
#include "fuzz/edge_choices.h"
#include "fuzz/setup_header_writer.h"

namespace {

struct identification {
    std::uint32_t channels;
    std::uint32_t short_block_exponent;
};

bit_writer header_start(int type) {
    bit_writer out(GENERATED_PACKET_LIMIT);
    out.write(static_cast<std::uint32_t>(type), 8);
    out.write_bytes("vorbis", 6);
    return out;
}

// Mostly valid: 1 to 8 channels, block sizes 64 to 8192 with the short one
// no longer than the long one.
std::vector<std::uint8_t> identification_header(edge_choices &in, const setup_recipe &recipe,
                                                identification *id) {
    bit_writer out = header_start(1);
    const std::uint32_t calm = recipe.calm();
    out.write(in.rarely(32 * calm) ? in.edge(32) : 0, 32);  // version
    id->channels = calm > 1 ? 1 + in.pick(8) : in.small_or_edge(1, 8, 8);
    out.write(id->channels, 8);
    out.write(in.rarely(4 * calm) ? in.edge(32) : 44100, 32);
    for (int i = 0; i < 3; ++i) out.write(in.rarely(4) ? in.edge(32) : 0, 32);  // bitrates
    std::uint32_t short_exponent = 6 + in.pick(8);
    std::uint32_t long_exponent = short_exponent + in.pick(14 - short_exponent);
    if (recipe.long_partitions) {
        long_exponent = recipe.long_block_exponent;
        if (short_exponent > long_exponent) short_exponent = long_exponent;
    }
    if (in.rarely(32 * calm)) short_exponent = in.raw(4);
    if (in.rarely(32 * calm)) long_exponent = in.raw(4);
    out.write(short_exponent, 4);
    out.write(long_exponent, 4);
    out.write(in.rarely(32 * calm) ? 0 : 1, 1);  // framing
    id->short_block_exponent = short_exponent;
    return std::move(out.bytes());
}

// The declared lengths may be anything; the text written is cut short at
// COMMENT_TEXT_LIMIT bytes, which the comment reader meets as a packet that
// ends early.
constexpr std::uint32_t COMMENT_TEXT_LIMIT = 4096;

void write_text(bit_writer &out, std::uint32_t length, char fill) {
    for (std::uint32_t i = 0; i < length && i < COMMENT_TEXT_LIMIT; ++i) out.write(static_cast<std::uint8_t>(fill), 8);
}

std::vector<std::uint8_t> comment_header(edge_choices &in, std::uint32_t calm = 1) {
    bit_writer out = header_start(3);
    const std::uint32_t vendor = in.rarely(4 * calm) ? in.small_or_edge(0, 16, 32) : in.pick(17);
    out.write(vendor, 32);
    write_text(out, vendor, 'v');
    const std::uint32_t comments = in.rarely(4 * calm) ? in.small_or_edge(0, 2, 32) : in.pick(3);
    out.write(comments, 32);
    for (std::uint32_t c = 0; c < comments && !out.full(); ++c) {
        const std::uint32_t length = in.rarely(4 * calm) ? in.small_or_edge(0, 16, 32) : in.pick(17);
        out.write(length, 32);
        write_text(out, length, 'c');
    }
    out.write(in.rarely(32 * calm) ? 0 : 1, 1);
    return std::move(out.bytes());
}

// The setup header, or now and then a second comment header in its place.
std::vector<std::uint8_t> third_header(edge_choices &in, const identification &id, const setup_recipe &recipe,
                                       std::uint32_t *modes) {
    if (in.rarely(16 * recipe.calm())) return comment_header(in);
    bit_writer out(GENERATED_PACKET_LIMIT);
    setup_header_writer setup(in, out, id.channels == 0 ? 1 : id.channels, recipe);
    setup.write();
    *modes = setup.modes();
    return std::move(out.bytes());
}

// Each recipe about one stream in twelve: what it steers to needs several
// fields to agree at once, which independent choices rarely make.
setup_recipe choose_recipe(edge_choices &in) {
    setup_recipe recipe;
    recipe.wide_lookups = in.rarely(12);
    recipe.long_partitions = in.rarely(12);
    recipe.long_block_exponent = 13 - in.pick(3);
    recipe.miscount_then_hostile = in.rarely(12);
    return recipe;
}

// An audio packet: the audio flag (0) and a mode number, then the input's
// own bytes.
std::vector<std::uint8_t> audio_packet(edge_choices &in, std::uint32_t modes) {
    const std::uint32_t size = in.rarely(8) ? in.edge(16) : in.pick(256);
    bit_writer out(GENERATED_PACKET_LIMIT);
    out.write(in.rarely(32) ? 1 : 0, 1);
    int mode_bits = 0;
    for (std::uint32_t m = modes - 1; m != 0; m >>= 1) ++mode_bits;
    out.write(in.pick(modes), mode_bits);
    for (std::uint32_t i = 0; i < size && !in.exhausted(); ++i) out.write(in.byte(), 8);
    return std::move(out.bytes());
}

class page_packer {
public:
    page_packer() { ogg_stream_init(&stream_, 0x5e7c0de); }
    ~page_packer() { ogg_stream_clear(&stream_); }

    void add(std::vector<std::uint8_t> &bytes, std::int64_t granule, bool last) {
        ogg_packet packet{};
        packet.packet = bytes.data();
        packet.bytes = static_cast<long>(bytes.size());
        packet.b_o_s = packet_number_ == 0;
        packet.e_o_s = last;
        packet.granulepos = granule;
        packet.packetno = packet_number_++;
        ogg_stream_packetin(&stream_, &packet);
    }

    // Pages up to here; flush ends the current page even when not full, as
    // encoders end the headers' pages.
    void take_pages(bool flush) {
        ogg_page page;
        while (flush ? ogg_stream_flush(&stream_, &page) : ogg_stream_pageout(&stream_, &page)) {
            out_.insert(out_.end(), page.header, page.header + page.header_len);
            out_.insert(out_.end(), page.body, page.body + page.body_len);
        }
    }

    std::vector<std::uint8_t> &bytes() { return out_; }

private:
    ogg_stream_state stream_;
    std::int64_t packet_number_ = 0;
    std::vector<std::uint8_t> out_;
};

}  // namespace

std::vector<std::uint8_t> make_setup_header_stream(const std::uint8_t *data, std::size_t size) {
    edge_choices in(data, size);
    page_packer pages;
    const setup_recipe recipe = choose_recipe(in);
    identification id{};
    std::vector<std::uint8_t> packet = identification_header(in, recipe, &id);
    pages.add(packet, 0, false);
    pages.take_pages(true);
    packet = comment_header(in, recipe.calm());
    pages.add(packet, 0, false);
    std::uint32_t modes = 1;
    packet = third_header(in, id, recipe, &modes);
    pages.add(packet, 0, false);
    pages.take_pages(true);
    const std::uint32_t audio_packets = in.pick(8);
    const std::int64_t step = std::int64_t{1} << (id.short_block_exponent & 15);
    for (std::uint32_t i = 0; i < audio_packets; ++i) {
        packet = audio_packet(in, modes);
        pages.add(packet, step * i, i + 1 == audio_packets);
        pages.take_pages(false);
    }
    pages.take_pages(true);
    return std::move(pages.bytes());
}
