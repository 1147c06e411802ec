#include "fuzz/heap_watch.h"

#include <atomic>

#include "fuzz/fuzz_failure.h"

extern "C" {
// The sanitizer runtimes' allocator interface, weak so that a build without
// one still links.
__attribute__((weak)) int __sanitizer_install_malloc_and_free_hooks(
    void (*malloc_hook)(const volatile void *, std::size_t), void (*free_hook)(const volatile void *));
__attribute__((weak)) std::size_t __sanitizer_get_allocated_size(const volatile void *pointer);
}

namespace {

std::atomic<bool> watching{false};
std::atomic<long long> held{0};
std::atomic<long long> peak{0};
std::atomic<long long> limit{0};

void on_malloc(const volatile void *, std::size_t size) {
    if (!watching.load(std::memory_order_relaxed)) return;
    const long long now = held.fetch_add(static_cast<long long>(size)) + static_cast<long long>(size);
    long long seen = peak.load();
    while (now > seen && !peak.compare_exchange_weak(seen, now)) {
    }
    // At once, with the allocation that went over on the stack; the report
    // itself may allocate, so counting stops first.
    if (now > limit.load(std::memory_order_relaxed)) {
        watching = false;
        fuzz_fail("a decoder held more heap than its budget", now);
    }
}

void on_free(const volatile void *pointer) {
    if (!watching.load(std::memory_order_relaxed) || pointer == nullptr) return;
    held.fetch_sub(static_cast<long long>(__sanitizer_get_allocated_size(pointer)));
}

bool install_hooks() {
    if (__sanitizer_install_malloc_and_free_hooks == nullptr || __sanitizer_get_allocated_size == nullptr) {
        return false;
    }
    return __sanitizer_install_malloc_and_free_hooks(on_malloc, on_free) != 0;
}

}  // namespace

namespace heap_watch {

bool available() {
    static const bool installed = install_hooks();
    return installed;
}

void start(long long budget) {
    if (!available()) return;
    held = 0;
    peak = 0;
    limit = budget;
    watching = true;
}

long long stop() {
    watching = false;
    return peak.load();
}

}  // namespace heap_watch
