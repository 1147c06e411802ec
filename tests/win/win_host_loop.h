// The host's decoding loop (support/host_loop.h) over the loaded module, and
// its decoders.
#ifndef VELMORA_TEST_WIN_HOST_LOOP_H
#define VELMORA_TEST_WIN_HOST_LOOP_H

#include <memory>

#include "loaded_module.h"
#include "support/host_loop.h"

// A decoder from the module, freed through it.
struct decoder_deleter {
    void operator()(qdx_ogg_decoder *d) const { velmora().free(d); }
};
using decoder_handle = std::unique_ptr<qdx_ogg_decoder, decoder_deleter>;
inline decoder_handle new_decoder() { return decoder_handle(velmora().create()); }

#endif  // VELMORA_TEST_WIN_HOST_LOOP_H
