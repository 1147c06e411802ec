// Running the built velmora-decode as a separate process, the way a user
// or a script does, and capturing what it says.
#ifndef VELMORA_CLI_TOOL_RUN_H
#define VELMORA_CLI_TOOL_RUN_H

#include <sys/types.h>

#include <string>
#include <vector>

struct tool_outcome {
    int exit_code = -1;     // -1 when the program did not exit normally
    int signal_number = 0;  // the signal that ended it, if one did
    bool hung = false;      // still running at run_settings::seconds_limit, and killed
    std::string out;        // standard output, bytes
    std::string err;        // standard error, text
};

struct run_settings {
    std::string directory;     // working directory; empty: the test's own
    std::string user;          // not empty: run as this user via setpriv (the test must be root)
    long file_size_limit = 0;  // nonzero: RLIMIT_FSIZE in bytes, writes past it fail
    int seconds_limit = 0;     // nonzero: killed if still running then (a guard against hangs)
};

// Runs the tool with args and waits for it; standard input is /dev/null.
tool_outcome run_tool(const std::vector<std::string> &args, const run_settings &settings = {});

// Starts the tool without waiting; its output goes to /dev/null.
pid_t start_tool(const std::vector<std::string> &args);

// The bytes of a file, as a string, for comparing with captured output.
std::string file_text(const std::string &path);

// The names in a folder, sorted; "." and ".." left out.
std::vector<std::string> folder_entries(const std::string &dir);

#endif  // VELMORA_CLI_TOOL_RUN_H
