// How a fuzz target reports a broken promise: a message, then abort(), so
// libFuzzer (or the replay driver) stops and keeps the input.
#ifndef VELMORA_FUZZ_FAILURE_H
#define VELMORA_FUZZ_FAILURE_H

#include <cstdio>
#include <cstdlib>

[[noreturn]] inline void fuzz_fail(const char *what, long long value = 0) {
    std::fprintf(stderr, "velmora fuzz: broken promise: %s (%lld)\n", what, value);
    std::fflush(stderr);
    std::abort();
}

inline void fuzz_require(bool holds, const char *what, long long value = 0) {
    if (!holds) fuzz_fail(what, value);
}

#endif  // VELMORA_FUZZ_FAILURE_H
