#include "interrupt_cleanup.h"

#include <unistd.h>

#include <csignal>
#include <cstring>

namespace {

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
    for (int signal_number : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(signal_number, &action, nullptr);
}

}  // namespace

void remove_on_interrupt(const std::string &path) {
    armed = 0;
    if (path.size() >= sizeof pending_path) return;
    install_handlers_once();
    std::memcpy(pending_path, path.c_str(), path.size() + 1);
    armed = 1;
}

void keep_on_interrupt() { armed = 0; }
