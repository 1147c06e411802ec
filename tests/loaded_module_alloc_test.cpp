// A host that loads Velmora.ovl at run time (dlopen) and calls it from threads
// it starts later, with its allocations failing one at a time
// (support/allocation_shim.h). The module's
// per-thread state must not come from malloc at a thread's first call, as
// the loader's default for a module loaded that way would: the C library
// ends the process when that malloc fails. This program does not link the
// module, so the loader places it as a host's dlopen would.
//
// Two plans, each run with allocation N failing for every N that a clean run
// makes, in a child process: a whole session on the main thread (create, two
// read files, decode to the end, replay onto the second, decode, free), and a
// decoder created on the main thread whose first calls (attach, decode) come
// from a thread started afterwards. Each child must exit cleanly: no signal,
// no abort, every call answering with a documented result, nothing left
// allocated after free.
#include <gtest/gtest.h>

#include "support/sanitizer.h"

#ifndef UNDER_ADDRESS_SANITIZER

#include <dlfcn.h>
#include <pthread.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <valgrind/valgrind.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "velmora.h"
#include "support/allocation_shim.h"

namespace {

constexpr int CLEAN = 0;
constexpr int BROKEN_PROMISE = 3;
constexpr int NOT_LOADED = 4;

[[noreturn]] void broken(const char *what, long value) {
    std::fprintf(stderr, "broken promise: %s (%ld)\n", what, value);
    _exit(BROKEN_PROMISE);
}

// The exports a host calls, looked up in the loaded module.
struct module_calls {
    decltype(&qdx_ogg_create) create;
    decltype(&qdx_ogg_input_file_open2) open2;
    decltype(&qdx_ogg_process_frame) process_frame;
    decltype(&qdx_ogg_eof) eof;
    decltype(&qdx_ogg_replay) replay;
    decltype(&qdx_ogg_free) free;
};

template <typename Function>
void look_up(void *module, const char *name, Function *function) {
    *function = reinterpret_cast<Function>(dlsym(module, name));
    if (*function == nullptr) _exit(NOT_LOADED);
}

module_calls load_module() {
    void *module = dlopen(VELMORA_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) _exit(NOT_LOADED);
    module_calls m{};
    look_up(module, "qdx_ogg_create", &m.create);
    look_up(module, "qdx_ogg_input_file_open2", &m.open2);
    look_up(module, "qdx_ogg_process_frame", &m.process_frame);
    look_up(module, "qdx_ogg_eof", &m.eof);
    look_up(module, "qdx_ogg_replay", &m.replay);
    look_up(module, "qdx_ogg_free", &m.free);
    return m;
}

const std::string first_file = VELMORA_SOURCE_DIR "/fixtures/short.ogg";
const std::string second_file = VELMORA_SOURCE_DIR "/fixtures/intro.ogg";

void attach(const module_calls &m, qdx_ogg_decoder *d) {
    const std::int32_t started = m.open2(d, first_file.c_str(), 0, 0, second_file.c_str(), 0, 0);
    if (started != 0 && started != 1) broken("input result", started);
}

void decode_until_end(const module_calls &m, qdx_ogg_decoder *d) {
    constexpr std::int32_t LENGTH = 4096;
    static std::uint8_t buffer[LENGTH + QDX_OGG_MAX_OVERRUN];
    for (int calls = 0; !m.eof(d); ++calls) {
        if (calls > 10000) broken("the decoding loop does not end", calls);
        const std::int32_t got = m.process_frame(d, buffer, LENGTH);
        if (got < 0 || got > LENGTH + QDX_OGG_MAX_OVERRUN) broken("decoding call result", got);
    }
}

// The session on the main thread, all of it armed.
void whole_session(const module_calls &m) {
    plan.armed = true;
    qdx_ogg_decoder *d = m.create();
    if (d == nullptr) return;
    attach(m, d);
    decode_until_end(m, d);
    const std::int32_t replayed = m.replay(d);
    if (replayed != 0 && replayed != 1) broken("replay result", replayed);
    decode_until_end(m, d);
    if (m.free(d) != 0) broken("free result", 0);
}

struct thread_job {
    const module_calls *m;
    qdx_ogg_decoder *d;
};

void *first_calls_on_a_new_thread(void *argument) {
    const auto *job = static_cast<thread_job *>(argument);
    plan.armed = true;
    attach(*job->m, job->d);
    decode_until_end(*job->m, job->d);
    plan.armed = false;
    return nullptr;
}

// A decoder made on the main thread; its first calls from a thread started
// afterwards; freed on the main thread. Armed throughout, but for starting
// and joining the thread.
void session_from_a_later_thread(const module_calls &m) {
    plan.armed = true;
    qdx_ogg_decoder *d = m.create();
    plan.armed = false;
    if (d == nullptr) return;
    thread_job job{&m, d};
    pthread_t thread;
    if (pthread_create(&thread, nullptr, first_calls_on_a_new_thread, &job) != 0) _exit(NOT_LOADED);
    pthread_join(thread, nullptr);
    plan.armed = true;
    if (m.free(d) != 0) broken("free result", 0);
}

using session = void (*)(const module_calls &);

// Runs the session in a child with allocation `failing` failing (-1: none);
// the child writes the allocations it saw to the pipe. Returns the exit
// status (128 + signal for a signal) and fills seen.
int run_child(session run, long failing, long *seen) {
    int fds[2];
    if (pipe(fds) != 0) return -1;
    const pid_t child = fork();
    if (child == 0) {
        close(fds[0]);
        alarm(RUNNING_ON_VALGRIND ? 300 : 30);
        const module_calls m = load_module();
        plan = allocation_plan{};
        plan.failing = failing;
        run(m);
        plan.armed = false;
        if (write(fds[1], &plan.seen, sizeof plan.seen) != sizeof plan.seen) _exit(BROKEN_PROMISE);
        if (plan.outstanding != 0) broken("allocations left after free", plan.outstanding);
        _exit(CLEAN);
    }
    close(fds[1]);
    *seen = 0;
    if (read(fds[0], seen, sizeof *seen) != sizeof *seen) *seen = -1;
    close(fds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

long stride() {
    if (const char *set = std::getenv("VELMORA_ALLOC_STRIDE")) return std::max(1L, std::atol(set));
    return RUNNING_ON_VALGRIND ? 15 : 1;
}

void each_allocation_failing(session run) {
    long total = 0;
    ASSERT_EQ(run_child(run, -1, &total), CLEAN) << "a clean run failed";
    ASSERT_GT(total, 0) << "the allocation shim is not in front of the module's allocations";
    for (long n = 0; n < total; n += stride()) {
        long seen = 0;
        const int status = run_child(run, n, &seen);
        ASSERT_EQ(status, CLEAN) << "allocation " << n << " of " << total << " failing: "
                                 << (status > 128 ? "signal " + std::to_string(status - 128)
                                                  : "exit status " + std::to_string(status));
    }
    std::printf("%ld allocations, every %ld made to fail, each answered\n", total, stride());
}

TEST(loaded_module_allocations, EachFailingAllocationOfASessionIsAnswered) {
    each_allocation_failing(whole_session);
}

TEST(loaded_module_allocations, EachFailingAllocationOfALaterThreadsFirstCallsIsAnswered) {
    each_allocation_failing(session_from_a_later_thread);
}

}  // namespace

#else

TEST(loaded_module_allocations, NeedsTheCLibrarysAllocator) {
    GTEST_SKIP() << "an allocator of its own cannot sit beside AddressSanitizer's";
}

#endif
