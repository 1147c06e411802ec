// The command line, parsed with CLI11. Byte counts are parsed here rather
// than by CLI11, whose integer reading takes a leading 0 as octal.
#include "options.h"

#include <CLI/CLI.hpp>

#include <charconv>

#include "cli_common.h"
#include "exit_status.h"

namespace {

// Decimal, or hexadecimal after 0x; no sign.
std::uint64_t parse_count(const std::string &text, const std::string &option, std::uint64_t most) {
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const char *first = text.data() + (hex ? 2 : 0);
    const char *last = text.data() + text.size();
    std::uint64_t value = 0;
    const auto [stop, error] = std::from_chars(first, last, value, hex ? 16 : 10);
    if (text.empty() || error != std::errc() || stop != last || value > most) {
        throw tool_error(exit_status::usage, option + " takes a number from 0 to " +
                                                 std::to_string(most) + ", not '" + text + "'");
    }
    return value;
}

std::uint32_t parse_offset(const std::string &text, const std::string &option) {
    return static_cast<std::uint32_t>(parse_count(text, option, UINT32_MAX));
}

// Raw option texts, converted once CLI11 is done.
struct raw_counts {
    std::string start, length, end, loops, chunk, kind;
};

void add_options(CLI::App &app, decode_options &o, raw_counts &counts) {
    app.set_version_flag("--version", library_banner(), "Print the library's version banner and exit");
    auto *input = app.add_option("INPUT", o.input, "Ogg Vorbis file to decode; - for standard input")->type_name("FILE");
    app.add_option("-o,--output", o.output, "WAV file to write; - for standard output")
        ->required()
        ->type_name("OUTPUT");
    app.add_option("--input", counts.kind, "How the decoder gets the bytes: memory (default), read, mapped")
        ->option_text("KIND");
    auto *start = app.add_option("--start", counts.start, "Byte offset in INPUT where the stream begins")
                      ->type_name("BYTES");
    auto *length = app.add_option("--length", counts.length, "Bytes of INPUT from --start that hold the stream")
                       ->type_name("BYTES");
    auto *end = app.add_option("--end", counts.end, "Absolute offset in INPUT where the stream stops")
                    ->type_name("BYTES");
    auto *intro = app.add_option("--intro", o.intro, "Stream played once, before the loop")->type_name("FILE");
    auto *loop = app.add_option("--loop", o.loop, "Stream played --loops times after the intro")->type_name("FILE");
    app.add_option("--loops", counts.loops, "Plays of --loop; with INPUT, extra plays of INPUT (default 0)")
        ->type_name("N");
    app.add_option("--chunk", counts.chunk, "Bytes asked of the decoder per call (default 16384)")
        ->type_name("BYTES");
    app.add_flag("--raw", o.raw, "Write bare PCM, no WAV header; channels in Vorbis order");
    app.add_flag("-q,--quiet", o.quiet, "Print no summary");
    length->excludes(end);
    intro->needs(loop);
    loop->needs(intro);
    for (CLI::Option *single : {input, start, length, end}) single->excludes(intro);
}

void convert_counts(const raw_counts &counts, decode_options &o) {
    if (!counts.kind.empty()) o.kind = parse_input_kind(counts.kind);
    if (!counts.start.empty()) o.start = parse_offset(counts.start, "--start");
    if (!counts.length.empty()) o.length = parse_offset(counts.length, "--length");
    if (!counts.end.empty()) o.end = parse_offset(counts.end, "--end");
    if (!counts.loops.empty()) o.loops = parse_offset(counts.loops, "--loops");
    if (!counts.chunk.empty()) o.chunk = static_cast<std::int32_t>(parse_count(counts.chunk, "--chunk", 1 << 20));
}

void check_consistency(const decode_options &o) {
    auto refuse = [](const std::string &why) { throw tool_error(exit_status::usage, why); };
    if (o.input.empty() && !o.looping_pair()) refuse("no input: name INPUT, or --intro and --loop");
    if (o.length && *o.length == 0) refuse("--length must be at least 1");
    if (o.length && std::uint64_t{o.start} + *o.length > UINT32_MAX) refuse("--start + --length passes 4 GiB");
    if (o.end && *o.end <= o.start) refuse("--end must be greater than --start");
    if (o.chunk < 1) refuse("--chunk must be at least 1");
    check_standard_input(o.kind, {&o.input, &o.intro, &o.loop});
}

}  // namespace

const char *input_kind_name(input_kind kind) {
    switch (kind) {
    case input_kind::memory: return "memory";
    case input_kind::read: return "read";
    case input_kind::mapped: return "mapped";
    }
    return "?";
}

command parse_command_line(int argc, const char *const *argv) {
    CLI::App app{"Decodes an Ogg Vorbis stream into a WAV file through the Velmora module.",
                 "velmora-decode"};
    app.footer(std::string("\nExamples:\n"
                           "  velmora-decode song.ogg -o song.wav\n"
                           "  velmora-decode --input mapped pack.bin --start 4321 --length 25650 -o a.wav\n"
                           "  velmora-decode --intro intro.ogg --loop loop.ogg --loops 3 -o music.wav\n\n"
                           "Channels: a WAV file of 3 to 8 channels is WAVE_FORMAT_EXTENSIBLE, with a\n"
                           "channel mask and each frame moved from Vorbis order into the mask's order.\n"
                           "More than 8 channels get the plain header, no mask, Vorbis order unchanged.\n"
                           "--raw always writes the decoder's Vorbis order.\n\n") +
               exit_status_help());
    // CLI11 takes /name for an option on Windows; there, as everywhere,
    // it is a path (Wine passes Unix paths through as they are).
    app.allow_windows_style_options(false);
    command result;
    raw_counts counts;
    add_options(app, result.options, counts);
    if (!parse_arguments(app, argc, argv, result.text)) {
        result.what = command::action::print_and_exit;
        return result;
    }
    convert_counts(counts, result.options);
    check_consistency(result.options);
    return result;
}
