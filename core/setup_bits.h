// The setup header's bits, read with libogg's packer exactly as Tremor reads
// them, with running out latched: past the end, a walk can no longer say what
// Tremor makes of the rest, so whatever ran out is refused.
#ifndef VELMORA_SETUP_BITS_H
#define VELMORA_SETUP_BITS_H

#include <ogg/ogg.h>

class setup_bits {
public:
    explicit setup_bits(ogg_packet &packet) {
        oggpack_readinit(&buffer_, packet.packet, static_cast<int>(packet.bytes));
    }

    // A field of at most 24 bits, or -1 once the header has run out.
    long read(int bits) {
        const long value = oggpack_read(&buffer_, bits);
        if (value < 0) ran_out_ = true;
        return value;
    }

    // Passes over bits whose values do not matter here (at most 2^28).
    void skip(long bits) {
        if (bits > bits_left()) ran_out_ = true;
        else oggpack_adv(&buffer_, static_cast<int>(bits));
    }

    bool ran_out() const { return ran_out_; }

private:
    long bits_left() { return buffer_.storage * 8 - oggpack_bits(&buffer_); }

    oggpack_buffer buffer_;
    bool ran_out_ = false;
};

#endif  // VELMORA_SETUP_BITS_H
