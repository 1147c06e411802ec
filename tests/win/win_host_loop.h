// A host's decoding loop over the loaded module, instrumented: every call's
// buffer is filled with a pattern first, so an overrun or a byte left
// unwritten shows.
#ifndef VELMORA_TEST_WIN_HOST_LOOP_H
#define VELMORA_TEST_WIN_HOST_LOOP_H

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "loaded_module.h"

// A decoder from the module, freed through it.
struct decoder_deleter {
    void operator()(qdx_ogg_decoder *d) const { velmora().free(d); }
};
using decoder_handle = std::unique_ptr<qdx_ogg_decoder, decoder_deleter>;
inline decoder_handle new_decoder() { return decoder_handle(velmora().create()); }

// Chooses the length of call number i (from 0).
using length_rule = std::function<std::int32_t(int call)>;
length_rule fixed_length(std::int32_t length);
// Odd and even, tiny and large lengths in turn.
length_rule varying_length();

struct decode_result {
    std::vector<std::uint8_t> pcm;  // the returned bytes of every call, in order
    int calls = 0;
    bool reached_eof = false;
    std::string fault;  // empty, or what broke the buffer contract
};

// One call, checked: the result lies within length + one batch, and nothing
// past it was written. Appends the returned bytes to out.
std::int32_t checked_call(qdx_ogg_decoder *d, std::int32_t length, std::vector<std::uint8_t> *out,
                          std::string *fault);

// Calls until qdx_ogg_eof reports 1; a decoder that never gets there faults.
decode_result decode_to_end(qdx_ogg_decoder *d, const length_rule &lengths, int max_calls = 1000000);

#endif  // VELMORA_TEST_WIN_HOST_LOOP_H
