// Interrupt cleanup on POSIX systems: SIGINT, SIGTERM and SIGHUP.
#include "interrupt_cleanup.h"

#include <unistd.h>

#include <csignal>
#include <cstring>

#include "os.h"

namespace {

constexpr int interrupts[] = {SIGINT, SIGTERM, SIGHUP};

// A signal handler may only touch static, lock-free state.
char pending_path[4096];
volatile std::sig_atomic_t armed = 0;

extern "C" void remove_and_die(int signal_number) {
    if (armed) ::unlink(pending_path);
    std::signal(signal_number, SIG_DFL);
    std::raise(signal_number);
}

void install_handlers_once() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    struct sigaction action {};
    action.sa_handler = remove_and_die;
    sigemptyset(&action.sa_mask);
    for (int signal_number : interrupts) ::sigaction(signal_number, &action, nullptr);
}

// Holds the interrupts back while alive; one that came meanwhile is
// delivered when it goes.
class interrupts_held {
public:
    interrupts_held() {
        sigset_t held;
        sigemptyset(&held);
        for (int signal_number : interrupts) sigaddset(&held, signal_number);
        ::sigprocmask(SIG_BLOCK, &held, &previous_);
    }
    ~interrupts_held() { ::sigprocmask(SIG_SETMASK, &previous_, nullptr); }
    interrupts_held(const interrupts_held &) = delete;
    interrupts_held &operator=(const interrupts_held &) = delete;

private:
    sigset_t previous_;
};

}  // namespace

// Creating and arming happen with the interrupts held, so none can fall
// between the two and leave the file behind.
std::FILE *create_removed_on_interrupt(std::string &pattern) {
    install_handlers_once();
    const interrupts_held held;
    std::FILE *file = create_new_file(pattern);
    if (file != nullptr && pattern.size() < sizeof pending_path) {
        std::memcpy(pending_path, pattern.c_str(), pattern.size() + 1);
        armed = 1;
    }
    return file;
}

void keep_on_interrupt() { armed = 0; }
