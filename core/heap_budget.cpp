#include "core/heap_budget.h"

#include "platform/platform.h"

bool charge(heap_budget &budget, std::size_t bytes) {
    if (budget.in_use > budget.limit || bytes > budget.limit - budget.in_use) return false;
    budget.in_use += bytes;
    if (budget.in_use > budget.peak) budget.peak = budget.in_use;
    return true;
}

void credit(heap_budget &budget, std::size_t bytes) { budget.in_use -= bytes; }

heap_budget *serving_budget() { return static_cast<heap_budget *>(plat_thread_value()); }

// Only the first set can fail (platform/platform.h), so restoring the word
// after an engaged scope always succeeds.
serving_decoder::serving_decoder(heap_budget *budget)
    : before_(serving_budget()),
      engaged_(!plat_fault_injected(PLAT_OP_THREAD_VALUE) && plat_set_thread_value(budget)) {}

serving_decoder::~serving_decoder() {
    if (engaged_) plat_set_thread_value(before_);
}
