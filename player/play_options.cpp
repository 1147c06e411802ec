#include "play_options.h"

#include <CLI/CLI.hpp>

#include <charconv>

#include "cli_common.h"
#include "exit_status.h"

namespace {

// Raw option texts, converted once CLI11 is done.
struct raw_options {
    std::string loops;
    std::string kind;
    std::string suspend_at;
    std::string suspend_for;
};

void add_options(CLI::App &app, play_options &o, raw_options &raw) {
    app.set_version_flag("--version", library_banner(), "Print the library's version banner and exit");
    auto *input = app.add_option("FILE", o.input, "Ogg Vorbis file to play; - for standard input")->type_name("FILE");
    auto *intro = app.add_option("--intro", o.intro, "Stream played once, before the loop")->type_name("FILE");
    auto *loop = app.add_option("--loop", o.loop, "Stream played after the intro, --loops times")->type_name("FILE");
    app.add_option("--loops", raw.loops, "Plays of --loop, or forever (default); with FILE, extra plays (default 0)")
        ->type_name("N|forever");
    app.add_option("--input", raw.kind, "How the decoder gets the bytes: memory (default), read, mapped")
        ->option_text("KIND");
    auto *at = app.add_option("--suspend-at", raw.suspend_at,
                              "Suspend the decoder after SECONDS of playback (files released, silence)")
                   ->type_name("SECONDS");
    auto *for_ = app.add_option("--suspend-for", raw.suspend_for, "Resume it after SECONDS of silence (default 1)")
                     ->type_name("SECONDS");
    for_->needs(at);
    intro->needs(loop);
    loop->needs(intro);
    input->excludes(intro);
}

// Decimal, or "forever".
std::optional<std::uint64_t> parse_loops(const std::string &text) {
    if (text == "forever") return std::nullopt;
    std::uint32_t value = 0;
    const auto [stop, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || stop != text.data() + text.size()) {
        throw tool_error(exit_status::usage, "--loops takes a number or forever, not '" + text + "'");
    }
    return value;
}

// Seconds: a plain decimal number, 0 or more, at most a year.
double parse_seconds(const std::string &text, const char *option) {
    double value = -1;
    const auto [stop, error] = std::from_chars(text.data(), text.data() + text.size(), value,
                                               std::chars_format::fixed);
    if (text.empty() || error != std::errc() || stop != text.data() + text.size() || !(value >= 0) ||
        value > 365 * 24 * 3600.0) {
        throw tool_error(exit_status::usage,
                         std::string(option) + " takes a number of seconds, 0 or more, not '" + text + "'");
    }
    return value;
}

void convert(const raw_options &raw, play_options &o) {
    if (!raw.kind.empty()) o.kind = parse_input_kind(raw.kind);
    check_standard_input(o.kind, {&o.input, &o.intro, &o.loop});
    if (o.input.empty() && !o.looping_pair()) {
        throw tool_error(exit_status::usage, "no input: name FILE, or --intro and --loop");
    }
    if (!raw.loops.empty()) {
        const std::optional<std::uint64_t> loops = parse_loops(raw.loops);
        o.plays = loops ? std::optional<std::uint64_t>(*loops + 1) : std::nullopt;
    } else if (o.looping_pair()) {
        o.plays = std::nullopt;
    }
    if (!raw.suspend_at.empty()) {
        const double for_seconds = raw.suspend_for.empty() ? 1.0 : parse_seconds(raw.suspend_for, "--suspend-for");
        o.suspend = scheduled_suspend{parse_seconds(raw.suspend_at, "--suspend-at"), for_seconds};
    }
}

}  // namespace

play_command parse_play_command(int argc, const char *const *argv) {
    CLI::App app{"Plays an Ogg Vorbis stream through the Velmora module and SDL.", "velmora-play"};
    app.footer("\nKeys, on a terminal: space suspends and resumes, r replays, q quits.\n"
               "Without a terminal it plays to the end and exits.\n\n"
               "Examples:\n"
               "  velmora-play song.ogg\n"
               "  velmora-play --intro intro.ogg --loop loop.ogg            (the loop until q)\n"
               "  velmora-play --input mapped song.ogg --suspend-at 2 --suspend-for 1\n\n"
               "Exit status: 0 played or quit, 2 bad arguments, 3 an input cannot be used,\n"
               "5 not a playable Ogg Vorbis stream, 6 no audio device, 1 internal failure;\n"
               "stopped by SIGINT, SIGTERM or SIGHUP, it ends by that signal (130, 143, 129).\n");
    app.allow_windows_style_options(false);
    play_command result;
    raw_options raw;
    add_options(app, result.options, raw);
    if (!parse_arguments(app, argc, argv, result.text)) {
        result.what = play_command::action::print_and_exit;
        return result;
    }
    convert(raw, result.options);
    return result;
}
