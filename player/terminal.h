// The terminal the player is run from: keys read one at a time, without
// echo, and the signals that stop playback. What the system provides sits
// in one file per system (terminal_posix.cpp).
#ifndef VELMORA_PLAYER_TERMINAL_H
#define VELMORA_PLAYER_TERMINAL_H

#include <chrono>
#include <memory>

// Standard input in raw mode (no line buffering, no echo) for the life of
// the object, when enabled; the settings it found are restored on
// destruction, whatever ended playback.
class terminal_keys {
public:
    explicit terminal_keys(bool enabled);
    ~terminal_keys();
    terminal_keys(const terminal_keys &) = delete;
    terminal_keys &operator=(const terminal_keys &) = delete;

    // The next key pressed within timeout, or 0; disabled, it only waits.
    // Returns early, with 0, when a stop signal arrives.
    char wait_key(std::chrono::milliseconds timeout);

private:
    struct saved_settings;
    bool enabled_;
    std::unique_ptr<saved_settings> saved_;  // what to restore; null when nothing changed
};

// Standard input and standard error are both terminals: keys can be read
// and the status line shown.
bool on_a_terminal();

// SIGINT and SIGTERM (and SIGHUP) only set a flag from now on, so that
// playback stops through the ordinary path and the terminal is restored.
void catch_stop_signals();
bool stop_signalled();
// After a stop signal, once everything is released and restored: ends the
// process as that signal would have (never returns then). Does nothing
// when no stop signal came.
void end_as_stopped();

#endif  // VELMORA_PLAYER_TERMINAL_H
