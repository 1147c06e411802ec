// A decoder's heap budget: the bytes libogg and Tremor hold for one decoder,
// counted by the allocator they are compiled to call (codec_allocator.h),
// and the most they may hold. A decoder serves one thread at a time, so the
// exported calls that reach the codec name the decoder they serve, in the
// thread's own word (platform/platform.h), for their duration
// (serving_decoder): decoders on other threads are charged to their own
// budgets and need no lock.
#ifndef VELMORA_HEAP_BUDGET_H
#define VELMORA_HEAP_BUDGET_H

#include <cstddef>
#include <cstdint>

struct heap_budget {
    std::size_t limit;   // the most the codec may hold for the decoder
    std::size_t in_use;  // what it holds now, each block's header included
    std::size_t peak;    // the most it has held
};

// The build's budget per decoder (VELMORA_DECODER_HEAP_BUDGET, cmake/CodecHeap.cmake).
static_assert(VELMORA_DECODER_HEAP_BUDGET <= SIZE_MAX, "the heap budget must fit in a size_t");
constexpr std::size_t DECODER_HEAP_BUDGET = VELMORA_DECODER_HEAP_BUDGET;

// Takes bytes from the budget, or nothing and false when they do not fit.
bool charge(heap_budget &budget, std::size_t bytes);
void credit(heap_budget &budget, std::size_t bytes);

// The budget of the decoder this thread is serving; null while it serves none.
heap_budget *serving_budget();

// This thread serves the budget given (null: none) until the scope ends,
// then the one it served before. Where the thread's word cannot be set (on
// Windows, out of memory) nothing changes and engaged() is false: the call
// must then leave the codec alone, since its blocks would go uncounted.
class serving_decoder {
public:
    explicit serving_decoder(heap_budget *budget);
    ~serving_decoder();
    serving_decoder(const serving_decoder &) = delete;
    serving_decoder &operator=(const serving_decoder &) = delete;

    bool engaged() const { return engaged_; }

private:
    heap_budget *before_;
    bool engaged_;
};

#endif  // VELMORA_HEAP_BUDGET_H
