#include "core/decoding_reserve.h"

#include <cstdint>

#include "core/decoder.h"

std::size_t long_block_storage(qdx_ogg_decoder &d) {
    const std::size_t channels = static_cast<std::size_t>(d.info.channels);
    const int long_block = vorbis_info_blocksize(&d.info, 1);
    const std::size_t samples = long_block > 0 ? static_cast<std::size_t>(long_block) : 0;
    // The sample buffers, then the per-channel pointers and flags of the
    // block and its mapping (a pointer and an int for each of two arrays).
    constexpr std::size_t PER_CHANNEL = 2 * sizeof(void *) + 2 * sizeof(int) + 2 * sizeof(void *);
    return channels * (samples * sizeof(std::int32_t) + PER_CHANNEL);
}

bool decoding_fits_budget(qdx_ogg_decoder &d) {
#if !defined(VELMORA_TREMOR_PATCHED)
    // Debian's packaged Tremor allocates its blocks on its own: the budget
    // does not hold them, so it has nothing to say about them.
    (void)d;
    return true;
#else
    const heap_budget &budget = d.heap;
    if (budget.in_use > budget.limit) return false;
    return long_block_storage(d) <= budget.limit - budget.in_use;
#endif
}
