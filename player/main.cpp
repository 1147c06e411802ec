// velmora-play: plays an Ogg Vorbis file, or an intro once and then a loop,
// through the Velmora module and SDL's audio output. The decoder is created
// and attached here, then driven by SDL's audio callback alone (decoder_feed)
// while a device is open; this thread reads keys and shows the status.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <new>

#include "attached_decoder.h"
#include "audio_device.h"
#include "chain_links.h"
#include "decoder_feed.h"
#include "exit_status.h"
#include "input_range.h"
#include "pcm_format.h"
#include "play_options.h"
#include "status_line.h"
#include "terminal.h"

namespace {

constexpr std::chrono::milliseconds tick{50};

struct sources {
    input_range first;
    std::optional<input_range> second;  // the loop body
};

// The player plays the first stream of each file, as the decoder does; a
// chained file is said to be cut short rather than silently.
void note_first_stream_only(const input_range &range) {
    const std::size_t links = chain_links(range).size();
    if (links == 1) return;
    std::fprintf(stderr, "velmora-play: note: %s holds %zu chained streams; the player plays its first\n",
                 shown_name(range.path).c_str(), links);
}

sources resolve_sources(const play_options &o) {
    if (!o.looping_pair()) return {resolve_input(o.input, 0, std::nullopt, std::nullopt), std::nullopt};
    return {resolve_input(o.intro, 0, std::nullopt, std::nullopt),
            resolve_input(o.loop, 0, std::nullopt, std::nullopt)};
}

// Each decoding call that gives nothing has still read up to 8192 bytes of
// input, so far more such calls in a row than the source has chunks means the
// decoder is stuck.
feed_plan plan_for(const play_options &o, const sources &s) {
    feed_plan plan;
    plan.plays = o.plays;
    plan.intro_then_loop = o.looping_pair();
    const std::uint32_t largest = std::max(s.first.bytes(), s.second ? s.second->bytes() : 0u);
    plan.most_empty_calls = largest / 8192 + 64;
    plan.suspend = o.suspend;
    plan.first_name = shown_name(s.first.path);
    if (s.second) plan.second_name = shown_name(s.second->path);
    return plan;
}

// What stops playback, other than the stream ending or failing.
enum class outcome { ended, new_format, quit };

outcome watch(decoder_feed &feed, terminal_keys &keys, status_line &line, const play_labels &labels) {
    for (;;) {
        const char key = keys.wait_key(tick);
        if (stop_signalled() || key == 'q' || key == 'Q') return outcome::quit;
        if (key == ' ') feed.request_suspend_toggle();
        if (key == 'r' || key == 'R') feed.request_replay();
        const feed_status status = feed.status();
        line.show(status_text(status, labels));
        if (status.state == feed_state::ended) return outcome::ended;
        if (status.state == feed_state::new_format) return outcome::new_format;
        if (status.state == feed_state::failed) throw tool_error(feed.failure_status(), feed.failure());
    }
}

// One device per stream format: a loop body in another format than the
// intro gets a new device once the intro has played out.
void play(const play_options &o) {
    const sources s = resolve_sources(o);
    note_first_stream_only(s.first);
    if (s.second) note_first_stream_only(*s.second);
    attached_decoder decoder(o.kind, s.first, s.second ? &*s.second : nullptr);
    if (s.second) {
        const attached_decoder loop_alone(o.kind, *s.second, nullptr);  // the loop body must start too
    }
    decoder_feed feed(decoder.get(), plan_for(o, s));
    const bool interactive = on_a_terminal();
    catch_stop_signals();
    const sdl_audio audio;
    std::fprintf(stderr, "velmora-play: %s: %s%s\n", (o.looping_pair() ? o.intro : o.input).c_str(),
                 describe_format(feed.format()).c_str(),
                 interactive ? "  (space: suspend/resume, r: replay, q: quit)" : "");
    terminal_keys keys(interactive);
    status_line line(stderr, interactive);
    for (;;) {
        const speaker_layout layout = feed.prepare_device();
        const play_labels labels{describe_format(feed.format()), feed.format().nSamplesPerSec, o.plays,
                                 o.looping_pair()};
        audio_device device(feed.format(), layout, &decoder_feed::callback, &feed);
        device.start();
        if (watch(feed, keys, line, labels) != outcome::new_format) return;
    }
}

int fail(exit_status status, const char *message) {
    std::fprintf(stderr, "velmora-play: %s\n", message);
    return static_cast<int>(status);
}

}  // namespace

int main(int argc, char **argv) {
    try {
        const play_command cmd = parse_play_command(argc, argv);
        if (cmd.what == play_command::action::print_and_exit) {
            std::fputs(cmd.text.c_str(), stdout);
            return 0;
        }
        play(cmd.options);
        end_as_stopped();
        return 0;
    } catch (const tool_error &e) {
        return fail(e.status(), e.what());
    } catch (const std::bad_alloc &) {
        return fail(exit_status::internal, "out of memory");
    }
}
