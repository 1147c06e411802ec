// Runs work on one long-lived thread with a small stack and a wide guard
// region below it, as a host's audio callback would run a decoder. Code that
// takes more stack than that (a large alloca, a deep frame) faults in the
// guard region at once instead of writing over whatever lies below, and the
// sanitizer reports a stack overflow in the frame that went too deep.
#ifndef VELMORA_FUZZ_SMALL_STACK_THREAD_H
#define VELMORA_FUZZ_SMALL_STACK_THREAD_H

#include <cstddef>

class small_stack_thread {
public:
    // The thread's stack, in bytes; started on first use.
    static small_stack_thread &instance(std::size_t stack_bytes);

    // Runs work(argument) on the thread and waits for it to return.
    void run(void (*work)(void *), void *argument);

private:
    explicit small_stack_thread(std::size_t stack_bytes);
    static void *loop(void *self);
    struct state;
    state *state_;
};

#endif  // VELMORA_FUZZ_SMALL_STACK_THREAD_H
