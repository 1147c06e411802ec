#include "support/bounded_wait.h"

#include <sys/wait.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <thread>

child_exit wait_for_child(pid_t child, int seconds) {
    child_exit result;
    if (seconds <= 0) {
        while (::waitpid(child, &result.status, 0) < 0 && errno == EINTR) {}
        return result;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    for (;;) {
        const pid_t done = ::waitpid(child, &result.status, WNOHANG);
        if (done == child || (done < 0 && errno != EINTR)) return result;
        if (std::chrono::steady_clock::now() >= deadline) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(child, SIGKILL);
    while (::waitpid(child, &result.status, 0) < 0 && errno == EINTR) {}
    result.killed = true;
    return result;
}
