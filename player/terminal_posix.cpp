// The terminal on POSIX systems (terminal.h): termios and poll.
#include "terminal.h"

#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <csignal>
#include <initializer_list>

namespace {

volatile std::sig_atomic_t stop_flag = 0;  // the stop signal caught, 0 for none

extern "C" void note_stop(int signal_number) { stop_flag = signal_number; }

}  // namespace

struct terminal_keys::saved_settings {
    termios settings;
};

// Only line buffering and echo go: Ctrl-C still raises SIGINT.
terminal_keys::terminal_keys(bool enabled) : enabled_(enabled) {
    if (!enabled_) return;
    termios settings{};
    if (::tcgetattr(STDIN_FILENO, &settings) != 0) {
        enabled_ = false;
        return;
    }
    saved_ = std::make_unique<saved_settings>(saved_settings{settings});
    settings.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
    settings.c_cc[VMIN] = 0;
    settings.c_cc[VTIME] = 0;
    ::tcsetattr(STDIN_FILENO, TCSANOW, &settings);
}

terminal_keys::~terminal_keys() {
    if (saved_) ::tcsetattr(STDIN_FILENO, TCSANOW, &saved_->settings);
}

char terminal_keys::wait_key(std::chrono::milliseconds timeout) {
    const int ms = static_cast<int>(timeout.count());
    if (!enabled_) {
        ::poll(nullptr, 0, ms);  // a signal cuts it short
        return 0;
    }
    pollfd input{STDIN_FILENO, POLLIN, 0};
    if (::poll(&input, 1, ms) != 1 || !(input.revents & POLLIN)) return 0;
    char key = 0;
    return ::read(STDIN_FILENO, &key, 1) == 1 ? key : 0;
}

bool on_a_terminal() { return ::isatty(STDIN_FILENO) && ::isatty(STDERR_FILENO); }

void catch_stop_signals() {
    struct sigaction action {};
    action.sa_handler = note_stop;
    sigemptyset(&action.sa_mask);
    for (int signal_number : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(signal_number, &action, nullptr);
}

bool stop_signalled() { return stop_flag != 0; }

// Dies by the signal's own default action, so the shell and scripts see an
// interrupted run (status 128 + its number) and not one that finished.
void end_as_stopped() {
    const int signal_number = stop_flag;
    if (signal_number == 0) return;
    std::signal(signal_number, SIG_DFL);
    std::raise(signal_number);
    ::_exit(128 + signal_number);
}
