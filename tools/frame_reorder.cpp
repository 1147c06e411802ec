#include "frame_reorder.h"

const std::vector<std::uint8_t> &frame_reorder::take(const void *pcm, std::size_t bytes) {
    const auto *from = static_cast<const std::uint8_t *>(pcm);
    pending_.insert(pending_.end(), from, from + bytes);
    const std::size_t frame_bytes = layout_.from_vorbis.size() * 2;
    const std::size_t whole = pending_.size() / frame_bytes * frame_bytes;
    out_.clear();
    for (std::size_t at = 0; at < whole; at += frame_bytes) reorder_frame(pending_.data() + at);
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(whole));
    return out_;
}

// Samples are moved as byte pairs: their order within stays the decoder's.
void frame_reorder::reorder_frame(const std::uint8_t *frame) {
    for (const unsigned channel : layout_.from_vorbis) {
        out_.insert(out_.end(), frame + 2 * channel, frame + 2 * channel + 2);
    }
}
