#include "cli_common.h"

#include <sstream>

#include "exit_status.h"
#include "input_range.h"
#include "velmora.h"

std::string library_banner() {
    char banner[QDX_OGG_VERSION_BYTES] = {};
    qdx_ogg_velm_ver(banner);
    return std::string("Velmora ") + banner;
}

input_kind parse_input_kind(const std::string &text) {
    if (text == "memory") return input_kind::memory;
    if (text == "read") return input_kind::read;
    if (text == "mapped") return input_kind::mapped;
    throw tool_error(exit_status::usage, "--input takes memory, read or mapped, not '" + text + "'");
}

void check_standard_input(input_kind kind, std::initializer_list<const std::string *> inputs) {
    if (kind == input_kind::memory) return;
    for (const std::string *input : inputs) {
        if (*input == standard_input_name) {
            const char *name = kind == input_kind::read ? "read" : "mapped";
            throw tool_error(exit_status::usage,
                             std::string("standard input (-) is read into memory; --input ") + name + " needs a file");
        }
    }
}

bool parse_arguments(CLI::App &app, int argc, const char *const *argv, std::string &text) {
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError &e) {
        if (e.get_exit_code() != 0) throw tool_error(exit_status::usage, std::string(e.what()) + " (see --help)");
        std::ostringstream out, unused;
        app.exit(e, out, unused);
        text = out.str();
        return false;
    }
    return true;
}
