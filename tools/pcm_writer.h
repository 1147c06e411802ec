// The decoded PCM on its way into the output: behind a WAV header, whose
// sizes are filled in once the PCM is complete, in WAV channel order; or
// bare with --raw, in the decoder's (Vorbis) order.
#ifndef VELMORA_TOOLS_PCM_WRITER_H
#define VELMORA_TOOLS_PCM_WRITER_H

#include <cstddef>
#include <cstdint>
#include <optional>

#include "frame_reorder.h"
#include "output_file.h"
#include "velmora.h"

class pcm_writer {
public:
    pcm_writer(output_file &out, bool raw) : out_(out), raw_(raw) {}

    // Once, before the first PCM: the format the header describes.
    void begin(const qdx_ogg_wave_format &format);
    // Throws tool_error(exit_status::output) when the output cannot take it,
    // a WAV file's 4 GiB limit included.
    void write(const void *pcm, std::size_t bytes);
    // Completes the header and makes the output appear.
    void finish();

    std::uint64_t data_bytes() const { return data_bytes_; }

private:
    output_file &out_;
    bool raw_;
    qdx_ogg_wave_format format_{};
    std::optional<frame_reorder> reorder_;  // for a WAV file of 3 to 8 channels
    std::optional<std::uint32_t> channel_mask_;
    std::size_t header_bytes_ = 0;
    std::uint64_t data_bytes_ = 0;
};

#endif  // VELMORA_TOOLS_PCM_WRITER_H
