// The exit codes of velmora-decode and velmora-play, one per class of
// failure, and the error that carries one from where a failure is found up
// to main().
#ifndef VELMORA_TOOLS_EXIT_STATUS_H
#define VELMORA_TOOLS_EXIT_STATUS_H

#include <stdexcept>
#include <string>

enum class exit_status : int {
    ok = 0,
    internal = 1,  // out of memory, or the decoder broke its own contract
    usage = 2,     // bad arguments
    input = 3,     // an input file cannot be used: missing, unreadable, offsets
    output = 4,    // the output cannot be written
    stream = 5,    // the input is not a decodable Ogg Vorbis stream
    audio = 6,     // velmora-play: no audio device can be opened
};

// A failure with its one-line message for the user and its exit class.
class tool_error : public std::runtime_error {
public:
    tool_error(exit_status status, const std::string &message)
        : std::runtime_error(message), status_(status) {}
    exit_status status() const { return status_; }

private:
    exit_status status_;
};

// The exit codes as --help lists them; keep in step with the enum above.
inline const char *exit_status_help() {
    return "Exit status:\n"
           "  0  the output was written\n"
           "  1  internal failure (out of memory)\n"
           "  2  bad arguments\n"
           "  3  an input cannot be used: missing, a directory, a FIFO or device, not\n"
           "     readable, empty,\n"
           "     a path over 1023 bytes, offsets beyond the file\n"
           "  4  the output cannot be written\n"
           "  5  the input is not a decodable Ogg Vorbis stream (not Ogg, not Vorbis,\n"
           "     headers damaged or cut short), or intro and loop differ in format\n";
}

#endif  // VELMORA_TOOLS_EXIT_STATUS_H
