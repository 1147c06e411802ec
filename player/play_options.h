// What velmora-play's command line asks for, parsed and checked for
// consistency; the files themselves are checked when they are opened.
#ifndef VELMORA_PLAYER_PLAY_OPTIONS_H
#define VELMORA_PLAYER_PLAY_OPTIONS_H

#include <cstdint>
#include <optional>
#include <string>

#include "decoder_feed.h"
#include "options.h"

struct play_options {
    std::string input;  // the single input; empty with --intro/--loop
    std::string intro;  // played once, then the loop
    std::string loop;
    input_kind kind = input_kind::memory;
    // Plays in all, first included; none: until stopped.
    std::optional<std::uint64_t> plays = 1;
    std::optional<scheduled_suspend> suspend;

    bool looping_pair() const { return !intro.empty(); }
};

struct play_command {
    enum class action { play, print_and_exit } what = action::play;
    std::string text;
    play_options options;
};

// Parses argv; throws tool_error(exit_status::usage) on bad arguments.
play_command parse_play_command(int argc, const char *const *argv);

#endif  // VELMORA_PLAYER_PLAY_OPTIONS_H
