#include "fuzz/small_stack_thread.h"

#include <pthread.h>

#include <condition_variable>
#include <mutex>

#include "fuzz/fuzz_failure.h"

namespace {

// Far wider than any single frame or alloca the decoder could take by
// mistake (a sort of millions of codebook entries on the stack is tens of
// megabytes), so even a large jump lands in the guard and faults. The region
// is only reserved, never touched.
constexpr std::size_t GUARD_BYTES = std::size_t{256} << 20;

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
    if (pthread_attr_setstacksize(&attributes, stack_bytes) != 0 ||
        pthread_attr_setguardsize(&attributes, GUARD_BYTES) != 0) {
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
