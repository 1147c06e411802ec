// Decoding calls as a suspicious host makes them: every buffer is filled with
// a pattern first and checked afterwards, every return is checked against the
// documented contract, and a decode to the end must finish within a bound
// that follows from the input's size.
#ifndef VELMORA_FUZZ_CHECKED_DECODE_H
#define VELMORA_FUZZ_CHECKED_DECODE_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "velmora.h"
#include "fuzz/fuzz_script.h"

// The lengths a host asks for, call after call: up to eight values picked by
// the input, from one byte up to 64 KB, repeated in turn.
class length_pattern {
public:
    explicit length_pattern(fuzz_script &script);
    std::int32_t next();
    std::int32_t largest() const { return largest_; }

private:
    std::vector<std::int32_t> lengths_;
    std::size_t turn_ = 0;
    std::int32_t largest_ = 1;
};

class checked_calls {
public:
    // One decoding call on a running decoder: the return lies in
    // [0, length + QDX_OGG_MAX_OVERRUN), is whole frames, and no byte past it
    // was touched. Returns the byte count.
    std::int32_t decode(qdx_ogg_decoder *d, std::int32_t length);

    // One call on a suspended decoder: zero bytes, as many whole frames as
    // fit in length (all of it before any stream started), nothing past them.
    void decode_suspended(qdx_ogg_decoder *d, std::int32_t length);

    // Calls until qdx_ogg_eof reports 1. input_bytes bounds the calls that
    // may return nothing: each of them consumes a page (27 bytes at least) or
    // a refill, so more than that is a hang. Stops early, without failing,
    // once output_cap bytes came out (a tiny packet may expand a lot). Once
    // at the end, a further call must return 0 and eof must stay 1.
    void decode_to_end(qdx_ogg_decoder *d, length_pattern &lengths, std::size_t input_bytes,
                       std::size_t output_cap = 8u << 20);

private:
    std::uint8_t *prepare(std::int32_t length);
    void check_untouched_from(std::size_t from, std::int32_t length);
    std::vector<std::uint8_t> buffer_;
};

#endif  // VELMORA_FUZZ_CHECKED_DECODE_H
