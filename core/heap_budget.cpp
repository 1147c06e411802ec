#include "core/heap_budget.h"

namespace {
thread_local heap_budget *served = nullptr;
}  // namespace

bool charge(heap_budget &budget, std::size_t bytes) {
    if (budget.in_use > budget.limit || bytes > budget.limit - budget.in_use) return false;
    budget.in_use += bytes;
    if (budget.in_use > budget.peak) budget.peak = budget.in_use;
    return true;
}

void credit(heap_budget &budget, std::size_t bytes) { budget.in_use -= bytes; }

heap_budget *serving_budget() { return served; }

serving_decoder::serving_decoder(heap_budget *budget) : before_(served) { served = budget; }

serving_decoder::~serving_decoder() { served = before_; }
