#include "fuzz/checked_decode.h"

#include <cstring>

#include "fuzz/fuzz_failure.h"

namespace {

constexpr std::uint8_t PATTERN = 0xA5;
constexpr std::size_t GUARD_BYTES = 64;

// Odd, even, tiny, one batch, more than a batch.
constexpr std::int32_t LENGTH_CHOICES[] = {1,    2,    3,    4,    5,    7,     64,    511,
                                           1000, 4095, 4096, 8191, 8192, 16384, 30001, 65536};

std::int32_t frame_bytes(qdx_ogg_decoder *d) {
    const qdx_ogg_wave_format *format = qdx_ogg_pcm_format(d);
    return format != nullptr ? format->nBlockAlign : 0;
}

}  // namespace

length_pattern::length_pattern(fuzz_script &script) {
    const std::uint32_t count = 1 + script.pick(8);
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint8_t choice = script.byte();
        std::int32_t length = LENGTH_CHOICES[choice & 15];
        if (choice & 0x10) length += choice >> 5;  // a few bytes off the round values
        lengths_.push_back(length);
        if (length > largest_) largest_ = length;
    }
}

std::int32_t length_pattern::next() {
    const std::int32_t length = lengths_[turn_];
    turn_ = (turn_ + 1) % lengths_.size();
    return length;
}

std::uint8_t *checked_calls::prepare(std::int32_t length) {
    const std::size_t room = static_cast<std::size_t>(length) + QDX_OGG_MAX_OVERRUN + GUARD_BYTES;
    if (buffer_.size() < room) buffer_.resize(room);
    std::memset(buffer_.data(), PATTERN, room);
    return buffer_.data();
}

void checked_calls::check_untouched_from(std::size_t from, std::int32_t length) {
    const std::size_t room = static_cast<std::size_t>(length) + QDX_OGG_MAX_OVERRUN + GUARD_BYTES;
    for (std::size_t i = from; i < room; ++i) {
        if (buffer_[i] != PATTERN)
            fuzz_fail("byte written past the returned count", static_cast<long long>(i));
    }
}

std::int32_t checked_calls::decode(qdx_ogg_decoder *d, std::int32_t length) {
    std::uint8_t *buffer = prepare(length);
    const std::int32_t got = qdx_ogg_process_frame(d, buffer, length);
    fuzz_require(got >= 0 && got < length + QDX_OGG_MAX_OVERRUN, "decoding call returned out of range", got);
    const std::int32_t frame = frame_bytes(d);
    fuzz_require(got == 0 || (frame > 0 && got % frame == 0), "decoding call returned part of a frame", got);
    check_untouched_from(static_cast<std::size_t>(got), length);
    return got;
}

void checked_calls::decode_suspended(qdx_ogg_decoder *d, std::int32_t length) {
    std::uint8_t *buffer = prepare(length);
    const std::int32_t got = qdx_ogg_process_frame(d, buffer, length);
    const std::int32_t frame = frame_bytes(d);
    const std::int32_t whole_frames = frame > 0 ? length - length % frame : length;
    fuzz_require(got == whole_frames, "suspended decoder did not return the whole frames that fit", got);
    for (std::int32_t i = 0; i < got; ++i) {
        if (buffer[i] != 0) fuzz_fail("suspended decoder wrote something other than silence", i);
    }
    check_untouched_from(static_cast<std::size_t>(got), length);
}

void checked_calls::decode_to_end(qdx_ogg_decoder *d, length_pattern &lengths, std::size_t input_bytes,
                                  std::size_t output_cap) {
    const std::size_t empty_call_limit = input_bytes / 27 + input_bytes / 8192 + 8;
    std::size_t empty_calls = 0;
    std::size_t output = 0;
    while (!qdx_ogg_eof(d)) {
        if (output >= output_cap) return;
        const std::int32_t got = decode(d, lengths.next());
        output += static_cast<std::size_t>(got);
        if (got == 0 && ++empty_calls > empty_call_limit) {
            fuzz_fail("decoder spins: calls return nothing and the end never comes",
                      static_cast<long long>(empty_calls));
        }
    }
    fuzz_require(decode(d, lengths.next()) == 0, "a call after the end returned PCM");
    fuzz_require(qdx_ogg_eof(d) == 1, "eof went back to 0 after the end");
}
