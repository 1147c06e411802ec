// What velmora-decode and velmora-play share in reading their command lines.
#ifndef VELMORA_TOOLS_CLI_COMMON_H
#define VELMORA_TOOLS_CLI_COMMON_H

#include <CLI/CLI.hpp>

#include <string>

// "Velmora " and the library's version banner, for --version.
std::string library_banner();

// Runs CLI11 over argv. Returns false when --help or --version asked for
// text instead (left in text, to print before exiting); a bad argument
// throws tool_error(exit_status::usage).
bool parse_arguments(CLI::App &app, int argc, const char *const *argv, std::string &text);

#endif  // VELMORA_TOOLS_CLI_COMMON_H
