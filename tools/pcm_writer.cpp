#include "pcm_writer.h"

#include "exit_status.h"
#include "wav_header.h"

// The header goes in first with sizes of 0 and is rewritten at the end: the
// PCM's length is known only when the decoder reaches the end.
void pcm_writer::begin(const qdx_ogg_wave_format &format) {
    format_ = format;
    if (raw_) return;
    if (auto layout = wav_channel_layout(format.nChannels)) {
        channel_mask_ = layout->mask;
        reorder_.emplace(std::move(*layout));
    }
    const auto header = wav_header(format_, channel_mask_, 0);
    header_bytes_ = header.size();
    out_.write(header.data(), header.size());
}

void pcm_writer::write(const void *pcm, std::size_t bytes) {
    if (!raw_ && data_bytes_ + bytes > wav_max_data_bytes(header_bytes_)) {
        throw tool_error(exit_status::output, "the PCM outgrows the 4 GiB a WAV file can hold; use --raw");
    }
    if (reorder_) {
        const auto &frames = reorder_->take(pcm, bytes);
        if (!frames.empty()) out_.write(frames.data(), frames.size());
    } else {
        out_.write(pcm, bytes);
    }
    data_bytes_ += bytes;
}

void pcm_writer::finish() {
    if (!raw_) {
        if (reorder_ && !reorder_->rest().empty()) out_.write(reorder_->rest().data(), reorder_->rest().size());
        const auto header = wav_header(format_, channel_mask_, static_cast<std::uint32_t>(data_bytes_));
        out_.rewrite_start(header.data(), header.size());
    }
    out_.commit();
}
