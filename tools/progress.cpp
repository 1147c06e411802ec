#include "progress.h"

namespace {

constexpr std::chrono::milliseconds first_delay{500};
constexpr std::chrono::milliseconds update_interval{100};

}  // namespace

progress_display::progress_display(std::FILE *terminal, bool enabled)
    : terminal_(terminal), enabled_(enabled), next_(clock::now() + first_delay) {}

void progress_display::update(double seconds, std::uint64_t play, std::uint64_t plays) {
    if (!enabled_) return;
    const auto now = clock::now();
    if (now < next_) return;
    next_ = now + update_interval;
    std::fprintf(terminal_, "\r\033[Kdecoding: %.1f s of audio", seconds);
    if (plays > 1) {
        std::fprintf(terminal_, " (play %llu of %llu)", static_cast<unsigned long long>(play),
                     static_cast<unsigned long long>(plays));
    }
    std::fflush(terminal_);
    shown_ = true;
}

void progress_display::clear() {
    if (!shown_) return;
    std::fputs("\r\033[K", terminal_);
    std::fflush(terminal_);
    shown_ = false;
}
