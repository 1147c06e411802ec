// A one-line progress report on a terminal, rewritten in place: how much
// audio has been decoded, and which play of a looped input is running.
// Quiet for short runs (it first shows after half a second), updates at
// most ten times a second, and prints nothing when disabled.
#ifndef VELMORA_TOOLS_PROGRESS_H
#define VELMORA_TOOLS_PROGRESS_H

#include <chrono>
#include <cstdint>
#include <cstdio>

class progress_display {
public:
    progress_display(std::FILE *terminal, bool enabled);
    ~progress_display() { clear(); }
    progress_display(const progress_display &) = delete;
    progress_display &operator=(const progress_display &) = delete;

    // seconds: audio decoded so far; play counts from 1 up to plays.
    void update(double seconds, std::uint64_t play, std::uint64_t plays);
    // Erases the line, so what is printed next starts clean.
    void clear();

private:
    using clock = std::chrono::steady_clock;
    std::FILE *terminal_;
    bool enabled_;
    bool shown_ = false;
    clock::time_point next_;  // earliest time of the next update
};

#endif  // VELMORA_TOOLS_PROGRESS_H
