#include "pcm_writer.h"

#include "exit_status.h"
#include "wav_header.h"

// The header goes in first with sizes of 0 and is rewritten at the end: the
// PCM's length is known only when the decoder reaches the end.
void pcm_writer::begin(const qdx_ogg_wave_format &format) {
    format_ = format;
    if (raw_) return;
    const auto header = wav_header(format_, 0);
    out_.write(header.data(), header.size());
}

void pcm_writer::write(const void *pcm, std::size_t bytes) {
    if (!raw_ && data_bytes_ + bytes > wav_max_data_bytes) {
        throw tool_error(exit_status::output, "the PCM outgrows the 4 GiB a WAV file can hold; use --raw");
    }
    out_.write(pcm, bytes);
    data_bytes_ += bytes;
}

void pcm_writer::finish() {
    if (!raw_) {
        const auto header = wav_header(format_, static_cast<std::uint32_t>(data_bytes_));
        out_.rewrite_start(header.data(), header.size());
    }
    out_.commit();
}
