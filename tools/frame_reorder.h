// Moves the 16-bit samples of each frame from Vorbis order into WAV order.
// The decoder's output is cut wherever a call ends, so a frame split across
// two calls waits here for its rest.
#ifndef VELMORA_TOOLS_FRAME_REORDER_H
#define VELMORA_TOOLS_FRAME_REORDER_H

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "channel_layout.h"

class frame_reorder {
public:
    explicit frame_reorder(channel_layout layout) : layout_(std::move(layout)) {}

    // The complete frames among what came so far, reordered; valid until
    // the next call.
    const std::vector<std::uint8_t> &take(const void *pcm, std::size_t bytes);
    // Bytes of an incomplete last frame, left as they came.
    const std::vector<std::uint8_t> &rest() const { return pending_; }

private:
    void reorder_frame(const std::uint8_t *frame);

    channel_layout layout_;
    std::vector<std::uint8_t> pending_;  // start of a frame not yet complete
    std::vector<std::uint8_t> out_;
};

#endif  // VELMORA_TOOLS_FRAME_REORDER_H
