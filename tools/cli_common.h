// What velmora-decode and velmora-play share in reading their command lines.
#ifndef VELMORA_TOOLS_CLI_COMMON_H
#define VELMORA_TOOLS_CLI_COMMON_H

#include <CLI/CLI.hpp>

#include <initializer_list>
#include <string>

#include "options.h"

// "Velmora " and the library's version banner, for --version.
std::string library_banner();

// --input's words: memory, read, mapped. Anything else throws
// tool_error(exit_status::usage) saying which words it takes.
input_kind parse_input_kind(const std::string &text);

// Standard input ("-") is read into memory; the file inputs need a path.
// Throws tool_error(exit_status::usage) when kind is not memory and one of
// the inputs is "-".
void check_standard_input(input_kind kind, std::initializer_list<const std::string *> inputs);

// Runs CLI11 over argv. Returns false when --help or --version asked for
// text instead (left in text, to print before exiting); a bad argument
// throws tool_error(exit_status::usage).
bool parse_arguments(CLI::App &app, int argc, const char *const *argv, std::string &text);

#endif  // VELMORA_TOOLS_CLI_COMMON_H
