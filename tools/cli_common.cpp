#include "cli_common.h"

#include <sstream>

#include "exit_status.h"
#include "velmora.h"

std::string library_banner() {
    char banner[QDX_OGG_VERSION_BYTES] = {};
    qdx_ogg_velm_ver(banner);
    return std::string("Velmora ") + banner;
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
