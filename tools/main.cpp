// velmora-decode: decodes an Ogg Vorbis file into a WAV file through the
// Velmora module, the way any host does: the public header and nothing else.
#include <cstdio>
#include <new>

#include "decode_session.h"
#include "exit_status.h"
#include "options.h"
#include "os.h"
#include "output_file.h"
#include "pcm_writer.h"
#include "progress.h"
#include "summary.h"

namespace {

session_plan make_plan(const decode_options &o) {
    session_plan plan;
    plan.kind = o.kind;
    plan.chunk = o.chunk;
    plan.plays = std::uint64_t{o.loops} + 1;
    if (o.looping_pair()) {
        plan.first = resolve_input(o.intro, 0, std::nullopt, std::nullopt);
        plan.second = resolve_input(o.loop, 0, std::nullopt, std::nullopt);
    } else {
        plan.first = resolve_input(o.input, o.start, o.length, o.end);
    }
    return plan;
}

// Everything about the inputs is checked before the output is created, so
// most failures never touch the output's folder at all.
void decode(const decode_options &o) {
    const session_plan plan = make_plan(o);
    check_loop_body(plan);
    output_file file(o.output, !o.raw);
    pcm_writer writer(file, o.raw);
    session_result result;
    {
        progress_display progress(stderr, can_rewrite_line(stderr));
        result = run_session(plan, writer, progress);
    }
    writer.finish();
    // The summary must not mix with PCM on standard output.
    if (!o.quiet) print_summary(o.to_stdout() ? stderr : stdout, o, plan, result);
}

int fail(exit_status status, const char *message) {
    std::fprintf(stderr, "velmora-decode: %s\n", message);
    return static_cast<int>(status);
}

}  // namespace

int main(int argc, char **argv) {
    survive_closed_pipes();
    try {
        const command cmd = parse_command_line(argc, argv);
        if (cmd.what == command::action::print_and_exit) {
            std::fputs(cmd.text.c_str(), stdout);
            return 0;
        }
        decode(cmd.options);
        return 0;
    } catch (const tool_error &e) {
        return fail(e.status(), e.what());
    } catch (const std::bad_alloc &) {
        return fail(exit_status::internal, "out of memory");
    }
}
