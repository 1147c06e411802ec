// The player's status line on a terminal, rewritten in place: state,
// position in the current play, which play, and the format. Prints nothing
// when disabled.
#ifndef VELMORA_PLAYER_STATUS_LINE_H
#define VELMORA_PLAYER_STATUS_LINE_H

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

#include "decoder_feed.h"

// What the line says besides the feed's status.
struct play_labels {
    std::string format;                  // "2 channels, 44100 Hz, 16 bits"
    std::uint32_t rate = 0;              // frames per second
    std::optional<std::uint64_t> plays;  // none: until stopped
    bool intro_then_loop = false;
};

// "suspended   0:01.3  loop 2 of 3   2 channels, 44100 Hz, 16 bits"
std::string status_text(const feed_status &status, const play_labels &labels);

class status_line {
public:
    status_line(std::FILE *terminal, bool enabled) : terminal_(terminal), enabled_(enabled) {}
    ~status_line() { clear(); }
    status_line(const status_line &) = delete;
    status_line &operator=(const status_line &) = delete;

    void show(const std::string &text);
    // Erases the line, so what is printed next starts clean.
    void clear();

private:
    std::FILE *terminal_;
    bool enabled_;
    std::string shown_;
};

#endif  // VELMORA_PLAYER_STATUS_LINE_H
