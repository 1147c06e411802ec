#include "ovread_decode.h"

#include <tremor/ivorbiscodec.h>
#include <tremor/ivorbisfile.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace {

alignas(16) std::uint8_t host_buffer[HOST_CALL_BYTES];

struct memory_reader {
    const input_block &block;
    std::size_t position;
};

size_t read_block(void *into, size_t size, size_t count, void *source) {
    auto *reader = static_cast<memory_reader *>(source);
    if (size == 0) return 0;
    const std::size_t left = reader->block.size() - reader->position;
    const std::size_t n = std::min(size * count, left);
    std::memcpy(into, reader->block.bytes() + reader->position, n);
    reader->position += n;
    return n / size;
}

void play_to_end(const ivorbisfile_calls &calls, OggVorbis_File &file, pcm_sink &sink,
                 decode_outcome &outcome) {
    int first_link = -1;
    for (;;) {
        int link = 0;
        const long got = calls.read(&file, reinterpret_cast<char *>(host_buffer),
                                 HOST_CALL_BYTES, &link);
        if (got == OV_HOLE) continue;
        if (got < 0) return;
        if (got == 0) break;
        if (first_link < 0) first_link = link;
        if (link != first_link) break;
        sink.consume(host_buffer, static_cast<std::size_t>(got));
        outcome.bytes += static_cast<std::uint64_t>(got);
    }
    outcome.finished = true;
}

}  // namespace

const ivorbisfile_calls &library_tremor() {
    static const ivorbisfile_calls calls{ov_open_callbacks, ov_info, ov_read, ov_clear};
    return calls;
}

decode_outcome decode_with_ovread(const input_block &block, pcm_sink &sink,
                                  const ivorbisfile_calls &calls) {
    decode_outcome outcome;
    memory_reader reader{block, 0};
    const ov_callbacks unseekable{read_block, nullptr, nullptr, nullptr};
    // A player keeps the decoder between calls, so its state lives on the heap,
    // as Velmora's record does: heap peaks then compare like with like.
    auto file = std::make_unique<OggVorbis_File>();
    if (calls.open_callbacks(&reader, file.get(), nullptr, 0, unseekable) != 0) return outcome;
    outcome.started = true;
    if (const vorbis_info *info = calls.info(file.get(), -1)) {
        outcome.channels = info->channels;
        outcome.rate = info->rate;
    }
    play_to_end(calls, *file, sink, outcome);
    calls.clear(file.get());
    return outcome;
}
