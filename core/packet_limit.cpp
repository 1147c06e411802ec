#include "core/packet_limit.h"

#include "core/decoder.h"

std::uint32_t packet_byte_limit(qdx_ogg_decoder &d) {
    const std::uint32_t channels = static_cast<std::uint32_t>(d.info.channels);
    const int long_block = vorbis_info_blocksize(&d.info, 1);
    const std::uint32_t values = long_block > 0 ? static_cast<std::uint32_t>(long_block) / 2 : 4096;
    constexpr std::uint32_t PAGE_OF_PADDING = 65536;
    return channels * (36 * values + 1024) + PAGE_OF_PADDING;
}

long gathered_packet_bytes(const qdx_ogg_decoder &d) {
    return d.stream.body_fill - d.stream.body_returned;
}

void drop_oversized_packet(qdx_ogg_decoder &d) {
    if (gathered_packet_bytes(d) > static_cast<long>(packet_byte_limit(d))) ogg_stream_reset(&d.stream);
}
