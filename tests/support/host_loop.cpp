#include "support/host_loop.h"

#include <cstring>

namespace {
constexpr std::uint8_t PATTERN = 0xA5;
}

length_rule fixed_length(std::int32_t length) {
    return [length](int) { return length; };
}

length_rule varying_length() {
    static const std::int32_t lengths[] = {1, 4096, 2, 777, 65536, 3, 10000, 8192, 131, 30001};
    return [](int call) { return lengths[call % 10]; };
}

std::int32_t checked_call(qdx_ogg_decoder *d, std::int32_t length,
                          std::vector<std::uint8_t> *out, std::string *fault) {
    const std::size_t room = static_cast<std::size_t>(length) + QDX_OGG_MAX_OVERRUN + 64;
    std::vector<std::uint8_t> buffer(room, PATTERN);
    const std::int32_t got = host_loop_calls().process_frame(d, buffer.data(), length);
    if (got < 0 || got >= length + QDX_OGG_MAX_OVERRUN) {
        *fault = "call returned " + std::to_string(got) + " for length " + std::to_string(length);
        return got;
    }
    for (std::size_t i = static_cast<std::size_t>(got); i < room; ++i) {
        if (buffer[i] != PATTERN) {
            *fault = "byte " + std::to_string(i) + " written beyond the returned " + std::to_string(got);
            break;
        }
    }
    out->insert(out->end(), buffer.begin(), buffer.begin() + got);
    return got;
}

decode_result decode_to_end(qdx_ogg_decoder *d, const length_rule &lengths, int max_calls) {
    decode_result result;
    while (result.calls < max_calls) {
        if (host_loop_calls().eof(d)) {
            result.reached_eof = true;
            return result;
        }
        checked_call(d, lengths(result.calls), &result.pcm, &result.fault);
        ++result.calls;
        if (!result.fault.empty()) return result;
    }
    result.fault = "no end of input after " + std::to_string(max_calls) + " calls";
    return result;
}
