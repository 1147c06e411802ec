// velmora-decode: decodes an Ogg Vorbis file into a WAV file through the
// Velmora module, the way any host does: the public header and nothing else.
#include <cstdio>
#include <new>

#include "chain_links.h"
#include "decode_session.h"
#include "exit_status.h"
#include "options.h"
#include "os.h"
#include "output_file.h"
#include "pcm_writer.h"
#include "progress.h"
#include "summary.h"

namespace {

// The decoder's two sources play the first stream of each file; a chained
// intro or loop is said to be cut short rather than silently.
void note_first_stream_only(const input_range &range) {
    const std::size_t links = chain_links(range).size();
    if (links == 1) return;
    std::fprintf(stderr, "velmora-decode: note: %s holds %zu chained streams; --intro and --loop play its first\n",
                 shown_name(range.path).c_str(), links);
}

session_plan make_plan(const decode_options &o) {
    session_plan plan;
    plan.kind = o.kind;
    plan.chunk = o.chunk;
    plan.plays = std::uint64_t{o.loops} + 1;
    if (o.looping_pair()) {
        plan.first = resolve_input(o.intro, 0, std::nullopt, std::nullopt);
        plan.second = resolve_input(o.loop, 0, std::nullopt, std::nullopt);
        plan.links = {plan.first};
        note_first_stream_only(plan.first);
        note_first_stream_only(*plan.second);
    } else {
        plan.first = resolve_input(o.input, o.start, o.length, o.end);
        plan.links = chain_links(plan.first);
    }
    return plan;
}

// Everything about the inputs is checked before the output is created, so
// most failures never touch the output's folder at all.
void decode(const decode_options &o) {
    const session_plan plan = make_plan(o);
    check_later_streams(plan);
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
