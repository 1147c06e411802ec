#include "fuzz/small_stack_thread.h"

#include <pthread.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>

#include "fuzz/fuzz_failure.h"

namespace {

// Far wider than any single frame or alloca the decoder could take by
// mistake (a sort of millions of codebook entries on the stack is tens of
// megabytes), so even a large jump lands in the guard and faults. The region
// is only reserved, never touched.
constexpr std::size_t GUARD_BYTES = std::size_t{256} << 20;

// The thread's stack is a mapping of ours: only its top stack_bytes are
// accessible, and everything below them, the guard included, faults. glibc
// takes no stack under PTHREAD_STACK_MIN (128 KiB on AArch64, 16 KiB on
// x86-64 and 32-bit ARM), so where that is more the thread is given the
// minimum with all but the top stack_bytes inaccessible. Never unmapped: the
// thread lives as long as the process.
struct thread_stack {
    void *base;
    std::size_t size;
};

thread_stack map_stack(std::size_t stack_bytes) {
    const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    const long least = sysconf(_SC_THREAD_STACK_MIN);
    const std::size_t given = std::max(stack_bytes, least > 0 ? static_cast<std::size_t>(least) : stack_bytes);
    void *region = mmap(nullptr, GUARD_BYTES + given, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (stack_bytes % page != 0 || given % page != 0 || region == MAP_FAILED) {
        fuzz_fail("cannot map the decoding thread's stack", static_cast<long long>(stack_bytes));
    }
    unsigned char *base = static_cast<unsigned char *>(region) + GUARD_BYTES;
    if (mprotect(base + given - stack_bytes, stack_bytes, PROT_READ | PROT_WRITE) != 0) {
        fuzz_fail("cannot map the decoding thread's stack", static_cast<long long>(stack_bytes));
    }
    return {base, given};
}

}  // namespace

struct small_stack_thread::state {
    std::mutex lock;
    std::condition_variable changed;
    void (*work)(void *) = nullptr;
    void *argument = nullptr;
    bool pending = false;
};

small_stack_thread &small_stack_thread::instance(std::size_t stack_bytes) {
    static small_stack_thread thread(stack_bytes);
    return thread;
}

small_stack_thread::small_stack_thread(std::size_t stack_bytes) : state_(new state) {
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    const thread_stack stack = map_stack(stack_bytes);
    if (pthread_attr_setstack(&attributes, stack.base, stack.size) != 0) {
        fuzz_fail("cannot size the decoding thread's stack", static_cast<long long>(stack_bytes));
    }
    pthread_t thread;
    if (pthread_create(&thread, &attributes, loop, this) != 0) fuzz_fail("cannot start the decoding thread");
    pthread_attr_destroy(&attributes);
    pthread_detach(thread);
}

void *small_stack_thread::loop(void *self) {
    state &s = *static_cast<small_stack_thread *>(self)->state_;
    for (;;) {
        std::unique_lock<std::mutex> held(s.lock);
        s.changed.wait(held, [&] { return s.pending; });
        s.work(s.argument);
        s.pending = false;
        s.changed.notify_all();
    }
    return nullptr;
}

void small_stack_thread::run(void (*work)(void *), void *argument) {
    std::unique_lock<std::mutex> held(state_->lock);
    state_->work = work;
    state_->argument = argument;
    state_->pending = true;
    state_->changed.notify_all();
    state_->changed.wait(held, [&] { return !state_->pending; });
}
