#include "status_line.h"

namespace {

const char *state_word(const feed_status &status) {
    switch (status.state) {
    case feed_state::playing:
    case feed_state::new_format: return "playing";
    case feed_state::suspended: return status.resume_failed ? "suspended (resume failed)" : "suspended";
    case feed_state::ended: return "ended";
    case feed_state::failed: return "stopped";
    }
    return "?";
}

// "intro", "loop 2 of 3", "loop 4", "play 2 of 3", or nothing for a file
// played once.
std::string play_word(std::uint64_t play, const play_labels &labels) {
    std::string word;
    std::uint64_t number = play;
    std::optional<std::uint64_t> of = labels.plays;
    if (labels.intro_then_loop) {
        if (play == 1) return "intro";
        word = "loop ";
        number = play - 1;
        if (of) of = *of - 1;
    } else {
        if (of && *of == 1) return "";
        word = "play ";
    }
    word += std::to_string(number);
    if (of) word += " of " + std::to_string(*of);
    return word;
}

std::string clock_text(std::uint64_t frames, std::uint32_t rate) {
    const std::uint64_t tenths = rate == 0 ? 0 : frames * 10 / rate;
    char text[32];
    std::snprintf(text, sizeof text, "%llu:%02llu.%llu", static_cast<unsigned long long>(tenths / 600),
                  static_cast<unsigned long long>(tenths / 10 % 60), static_cast<unsigned long long>(tenths % 10));
    return text;
}

}  // namespace

std::string status_text(const feed_status &status, const play_labels &labels) {
    char text[160];
    std::snprintf(text, sizeof text, "%-10s %9s  %-13s %s", state_word(status),
                  clock_text(status.frames, labels.rate).c_str(), play_word(status.play, labels).c_str(),
                  labels.format.c_str());
    return text;
}

void status_line::show(const std::string &text) {
    if (!enabled_ || text == shown_) return;
    std::fprintf(terminal_, "\r\033[K%s", text.c_str());
    std::fflush(terminal_);
    shown_ = text;
}

void status_line::clear() {
    if (!enabled_ || shown_.empty()) return;
    std::fputs("\r\033[K", terminal_);
    std::fflush(terminal_);
    shown_.clear();
}
