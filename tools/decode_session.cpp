#include "decode_session.h"

#include <chrono>
#include <vector>

#include "attached_decoder.h"
#include "exit_status.h"
#include "pcm_format.h"

namespace {

// Each decoding call that returns nothing has moved at most 8192 bytes of
// input, so a source of n bytes cannot yield more than n / 8192 empty calls
// in a row; far more means the decoder is stuck, and the host must not spin.
std::uint64_t most_empty_calls(const input_range &source) { return source.bytes() / 8192 + 64; }

[[noreturn]] void refuse_format_change(const std::string &later, const std::string &first,
                                       const qdx_ogg_wave_format &before, const qdx_ogg_wave_format &after) {
    throw tool_error(exit_status::stream, later + " is " + describe_format(after) + " but " + first + " is " +
                                              describe_format(before) + "; a WAV file holds one format");
}

void require_same_format(const std::string &later, const std::string &first, const qdx_ogg_wave_format &before,
                         const qdx_ogg_wave_format &after) {
    if (!same_format(before, after)) refuse_format_change(later, first, before, after);
}

// The stream a replay switched to did not start: the file changed since it
// was checked, or could not be read again.
[[noreturn]] void refuse_restart(const input_range &source) {
    throw tool_error(exit_status::stream, shown_name(source.path) + " could not start again at the replay");
}

class host_loop {
public:
    host_loop(const session_plan &plan, pcm_writer &out, progress_display &progress)
        : plan_(plan), out_(out), progress_(progress),
          buffer_((plan.chunk + QDX_OGG_MAX_OVERRUN) / 2 + 1) {}

    void play(attached_decoder &decoder, const input_range &source, std::uint64_t number,
              const qdx_ogg_wave_format &format);

private:
    void deliver(std::int32_t got, std::uint64_t number, const qdx_ogg_wave_format &format);

    const session_plan &plan_;
    pcm_writer &out_;
    progress_display &progress_;
    std::vector<std::int16_t> buffer_;  // 16-bit elements: the decoder needs 2-byte alignment
};

// Calls until the source in use is spent; a return of 0 only means "again".
void host_loop::play(attached_decoder &decoder, const input_range &source, std::uint64_t number,
                     const qdx_ogg_wave_format &format) {
    std::uint64_t empty_calls = 0;
    while (!qdx_ogg_eof(decoder.get())) {
        const std::int32_t got = qdx_ogg_process_frame(decoder.get(), buffer_.data(), plan_.chunk);
        if (got != 0) {
            empty_calls = 0;
            deliver(got, number, format);
        } else if (++empty_calls > most_empty_calls(source)) {
            throw tool_error(exit_status::stream, "the decoder stopped making progress in " + source.path);
        }
    }
}

void host_loop::deliver(std::int32_t got, std::uint64_t number, const qdx_ogg_wave_format &format) {
    if (got < 0 || got > plan_.chunk + QDX_OGG_MAX_OVERRUN) {
        throw tool_error(exit_status::internal, "the decoder returned " + std::to_string(got) +
                                                    " bytes for a call of " + std::to_string(plan_.chunk));
    }
    out_.write(buffer_.data(), static_cast<std::size_t>(got));
    const double seconds = static_cast<double>(out_.data_bytes()) / format.nAvgBytesPerSec;
    progress_.update(seconds, number, plan_.plays);
}

}  // namespace

std::string link_name(const session_plan &plan, std::size_t index) {
    if (plan.links.size() == 1) return shown_name(plan.first.path);
    return shown_name(plan.first.path) + " (stream " + std::to_string(index + 1) + " of " +
           std::to_string(plan.links.size()) + " chained, at byte " + std::to_string(plan.links[index].start) + ")";
}

void check_later_streams(const session_plan &plan) {
    if (plan.second) {
        const attached_decoder intro(plan.kind, plan.links.front(), nullptr);
        const attached_decoder loop(plan.kind, *plan.second, nullptr);
        require_same_format(shown_name(plan.second->path), shown_name(plan.first.path), intro.format(),
                            loop.format());
        return;
    }
    if (plan.links.size() == 1) return;
    const attached_decoder first(plan.kind, plan.links.front(), nullptr, link_name(plan, 0));
    for (std::size_t i = 1; i < plan.links.size(); ++i) {
        const attached_decoder later(plan.kind, plan.links[i], nullptr, link_name(plan, i));
        if (same_format(first.format(), later.format())) continue;
        const std::string at = std::to_string(plan.links[i].start);
        throw tool_error(exit_status::stream, link_name(plan, i) + " is " + describe_format(later.format()) +
                                                  ", stream 1 is " + describe_format(first.format()) +
                                                  "; a WAV file holds one format (decode them apart with --end " +
                                                  at + " and --start " + at + ")");
    }
}

// Each play: the first stream, or after the first play the loop body; then,
// for a chained input, its later streams, each attached at its start.
session_result run_session(const session_plan &plan, pcm_writer &out, progress_display &progress) {
    attached_decoder decoder(plan.kind, plan.links.front(), plan.second ? &*plan.second : nullptr);
    session_result result;
    result.format = decoder.format();
    require_usable_format(result.format);
    out.begin(result.format);
    host_loop loop(plan, out, progress);
    const bool chained = plan.links.size() > 1;
    const auto started = std::chrono::steady_clock::now();
    for (std::uint64_t number = 1; number <= plan.plays; ++number) {
        const input_range &source = number > 1 && plan.second ? *plan.second : plan.links.front();
        if (number > 1 && chained) {
            decoder.attach_again(plan.kind, source, link_name(plan, 0));
        } else if (number > 1 && qdx_ogg_replay(decoder.get()) != 0) {
            refuse_restart(source);
        }
        // The record is rewritten at a replay; a WAV file cannot follow a change.
        require_same_format(shown_name(source.path), shown_name(plan.first.path), result.format, decoder.format());
        loop.play(decoder, source, number, result.format);
        for (std::size_t i = 1; i < plan.links.size() && !plan.second; ++i) {
            decoder.attach_again(plan.kind, plan.links[i], link_name(plan, i));
            require_same_format(link_name(plan, i), link_name(plan, 0), result.format, decoder.format());
            loop.play(decoder, plan.links[i], number, result.format);
        }
    }
    result.decode_seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    result.pcm_bytes = out.data_bytes();
    return result;
}
