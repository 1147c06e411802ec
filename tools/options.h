// What the command line asks for, parsed and checked for consistency. File
// contents and offsets against file sizes are checked later, when the files
// are opened.
#ifndef VELMORA_TOOLS_OPTIONS_H
#define VELMORA_TOOLS_OPTIONS_H

#include <cstdint>
#include <optional>
#include <string>

// How the decoder gets its bytes: the three input families of the library.
enum class input_kind { memory, read, mapped };

const char *input_kind_name(input_kind kind);

struct decode_options {
    std::string input;   // the single input; empty with --intro/--loop
    std::string intro;   // played once, then the loop
    std::string loop;    // played --loops times after the intro
    std::string output;  // "-" for standard output
    input_kind kind = input_kind::memory;
    std::uint32_t start = 0;                 // byte offset of the stream in input
    std::optional<std::uint32_t> length;     // bytes from start
    std::optional<std::uint32_t> end;        // absolute end offset
    std::uint32_t loops = 0;                 // extra plays after the first
    std::int32_t chunk = 16384;              // bytes asked per decoding call
    bool raw = false;                        // bare PCM, no WAV header
    bool quiet = false;                      // no summary

    bool looping_pair() const { return !intro.empty(); }
    bool to_stdout() const { return output == "-"; }
};

// What to do: decode, or print a text (help, version) and stop.
struct command {
    enum class action { decode, print_and_exit } what = action::decode;
    std::string text;
    decode_options options;
};

// Parses argv; throws tool_error(exit_status::usage) on bad arguments.
command parse_command_line(int argc, const char *const *argv);

#endif  // VELMORA_TOOLS_OPTIONS_H
