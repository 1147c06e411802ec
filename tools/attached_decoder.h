// A decoder from the module with one or two inputs attached through the
// input family the user chose, and the memory blocks it reads in place.
#ifndef VELMORA_TOOLS_ATTACHED_DECODER_H
#define VELMORA_TOOLS_ATTACHED_DECODER_H

#include <cstdint>
#include <string>
#include <vector>

#include "input_range.h"
#include "options.h"
#include "velmora.h"

class attached_decoder {
public:
    // Creates a decoder and attaches first, and second when not null (played
    // after each replay). Throws tool_error: exit_status::stream when the
    // decoder refuses the first stream, internal when it cannot be created.
    // name: how messages call the first input; its path when empty.
    attached_decoder(input_kind kind, const input_range &first, const input_range *second,
                     const std::string &name = "");
    ~attached_decoder();
    attached_decoder(const attached_decoder &) = delete;
    attached_decoder &operator=(const attached_decoder &) = delete;

    // Attaches range alone in place of what the decoder held (the next link
    // of a chained file). Throws tool_error(exit_status::stream), the
    // message naming the range as name, when the decoder refuses it.
    void attach_again(input_kind kind, const input_range &range, const std::string &name);

    qdx_ogg_decoder *get() const { return decoder_; }
    // A copy: the record inside the decoder changes at a replay.
    qdx_ogg_wave_format format() const { return *qdx_ogg_pcm_format(decoder_); }

private:
    std::int32_t attach(input_kind kind, const input_range &first, const input_range *second);
    std::int32_t attach_memory(const input_range &first, const input_range *second);
    [[noreturn]] void refuse(const input_range &range, const std::string &name);

    // Declared before decoder_ is freed in the destructor body, destroyed
    // after it: the decoder reads these blocks in place until then.
    std::vector<std::uint8_t> first_bytes_;
    std::vector<std::uint8_t> second_bytes_;
    qdx_ogg_decoder *decoder_ = nullptr;
};

#endif  // VELMORA_TOOLS_ATTACHED_DECODER_H
