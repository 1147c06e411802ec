// The best of several timed runs of one decode: wall time, and this
// thread's CPU time.
#ifndef VELMORA_BENCH_BEST_TIMES_H
#define VELMORA_BENCH_BEST_TIMES_H

#include <time.h>

#include <chrono>
#include <limits>

struct best_times {
    double wall = std::numeric_limits<double>::max();
    double cpu = std::numeric_limits<double>::max();
};

// CPU time leaves out the moments other processes held the core, so on a
// busy machine it says more about the decoders than wall time does.
inline double thread_cpu_seconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

// Runs one decode and keeps its times where they beat the best so far.
template <typename Decode>
void time_once(Decode decode, best_times &best) {
    const double cpu_start = thread_cpu_seconds();
    const auto start = std::chrono::steady_clock::now();
    decode();
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    const double cpu = thread_cpu_seconds() - cpu_start;
    if (took.count() < best.wall) best.wall = took.count();
    if (cpu < best.cpu) best.cpu = cpu;
}

#endif  // VELMORA_BENCH_BEST_TIMES_H
