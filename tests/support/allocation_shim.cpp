// The allocation shim (allocation_shim.h): each call delegates to the C
// library's own entry points, which stay reachable under these names.
#include "support/allocation_shim.h"

#include "support/sanitizer.h"

#ifndef UNDER_ADDRESS_SANITIZER

#include <cstddef>

extern "C" {
void *__libc_malloc(std::size_t size);
void *__libc_calloc(std::size_t count, std::size_t size);
void *__libc_realloc(void *block, std::size_t size);
void __libc_free(void *block);
}

allocation_plan plan;

namespace {

bool next_allocation_fails(const void *caller) {
    if (!plan.armed) return false;
    if (plan.exempt != nullptr && plan.exempt(caller)) return false;
    return plan.seen++ == plan.failing;
}

void *counted(void *block) {
    if (plan.armed && block != nullptr) ++plan.outstanding;
    return block;
}

}  // namespace

extern "C" void *malloc(std::size_t size) {
    if (next_allocation_fails(__builtin_return_address(0))) return nullptr;
    return counted(__libc_malloc(size));
}

extern "C" void *calloc(std::size_t count, std::size_t size) {
    if (next_allocation_fails(__builtin_return_address(0))) return nullptr;
    return counted(__libc_calloc(count, size));
}

extern "C" void *realloc(void *block, std::size_t size) {
    // A failed realloc leaves the old block valid.
    if (next_allocation_fails(__builtin_return_address(0))) return nullptr;
    void *moved = __libc_realloc(block, size);
    if (plan.armed && block == nullptr && moved != nullptr) ++plan.outstanding;
    // The C library's realloc to size 0 frees the block and returns null.
    if (plan.armed && block != nullptr && moved == nullptr && size == 0) --plan.outstanding;
    return moved;
}

extern "C" void free(void *block) {
    if (plan.armed && block != nullptr) --plan.outstanding;
    __libc_free(block);
}

#endif
