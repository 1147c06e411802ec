// Bounds on what the framing layer may gather for one packet, so a packet
// that never ends (pages that keep continuing it) cannot grow the decoder's
// memory without bound. The comment header is never gathered at all (see
// comment_skip.h).
#ifndef VELMORA_PACKET_LIMIT_H
#define VELMORA_PACKET_LIMIT_H

#include <cstdint>

struct qdx_ogg_decoder;

// The largest legal audio packet of this stream, in bytes.
//
// A Vorbis audio packet codes, per channel, a floor and a residue vector of
// n = long block size / 2 values. The residue takes at most 8 passes, and
// each pass codes every value with at most one codeword of at most 32 bits:
// 32 bytes per value. Partition classes add at most one 32-bit codeword per
// value (4 bytes). A floor (type 0 or 1) needs well under 1024 bytes. So a
// packet never exceeds channels x (36 x n + 1024) bytes, plus a few bytes of
// mode and window flags. Decoders ignore what follows the coded data, and
// some encoders pad packets out to fill their pages, so one whole page of
// payload (65 536 bytes) is allowed on top. For stereo with 2048-sample long
// blocks that is 141 312 bytes; for the extreme case, 255 channels and
// 8192-sample blocks, about 38 MB.
std::uint32_t packet_byte_limit(qdx_ogg_decoder &d);

// The most stream start gathers of the setup header, in bytes. It holds the
// codebooks and the floor, residue and mapping set-ups: a few KB from real
// encoders (7235 bytes at most among the test vectors), so this is over 70
// times that. A setup header that outgrows it is refused with the stream; a
// never-ending one costs at most this, one page more, and libogg's growth.
constexpr long SETUP_HEADER_LIMIT = 512 * 1024;

// The bytes the stream layer holds of the packet it is gathering, once its
// complete packets are out.
long gathered_packet_bytes(const qdx_ogg_decoder &d);

// Called when the stream layer holds no complete packet: if the partial one
// it is gathering has outgrown the limit, drops it, as damaged input. The
// stream layer then passes over the rest of that packet on the pages that
// continue it, and decoding goes on with the next packet.
void drop_oversized_packet(qdx_ogg_decoder &d);

#endif  // VELMORA_PACKET_LIMIT_H
