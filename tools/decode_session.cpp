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

[[noreturn]] void refuse_format_change(const session_plan &plan, const qdx_ogg_wave_format &before,
                                       const qdx_ogg_wave_format &after) {
    const std::string loop = plan.second ? plan.second->path : plan.first.path;
    throw tool_error(exit_status::stream, loop + " is " + describe_format(after) + " but " + plan.first.path +
                                              " is " + describe_format(before) +
                                              "; a WAV file holds one format");
}

// The stream a replay switched to did not start: the file changed since it
// was checked, or could not be read again.
[[noreturn]] void refuse_restart(const input_range &source) {
    throw tool_error(exit_status::stream, source.path + " could not start again at the replay");
}

class host_loop {
public:
    host_loop(const session_plan &plan, pcm_writer &out, progress_display &progress)
        : plan_(plan), out_(out), progress_(progress),
          buffer_((plan.chunk + QDX_OGG_MAX_OVERRUN) / 2 + 1) {}

    void play(attached_decoder &decoder, std::uint64_t number, const qdx_ogg_wave_format &format);

private:
    void deliver(std::int32_t got, std::uint64_t number, const qdx_ogg_wave_format &format);

    const session_plan &plan_;
    pcm_writer &out_;
    progress_display &progress_;
    std::vector<std::int16_t> buffer_;  // 16-bit elements: the decoder needs 2-byte alignment
};

// Calls until the source in use is spent; a return of 0 only means "again".
void host_loop::play(attached_decoder &decoder, std::uint64_t number, const qdx_ogg_wave_format &format) {
    const input_range &source = number > 1 && plan_.second ? *plan_.second : plan_.first;
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

void check_loop_body(const session_plan &plan) {
    if (!plan.second) return;
    const attached_decoder intro(plan.kind, plan.first, nullptr);
    const attached_decoder loop(plan.kind, *plan.second, nullptr);
    if (!same_format(intro.format(), loop.format())) refuse_format_change(plan, intro.format(), loop.format());
}

session_result run_session(const session_plan &plan, pcm_writer &out, progress_display &progress) {
    attached_decoder decoder(plan.kind, plan.first, plan.second ? &*plan.second : nullptr);
    session_result result;
    result.format = decoder.format();
    require_usable_format(result.format);
    out.begin(result.format);
    host_loop loop(plan, out, progress);
    const auto started = std::chrono::steady_clock::now();
    for (std::uint64_t number = 1; number <= plan.plays; ++number) {
        if (number > 1) {
            if (qdx_ogg_replay(decoder.get()) != 0) refuse_restart(plan.second ? *plan.second : plan.first);
            // The record is rewritten at a replay; a WAV file cannot follow a change.
            const qdx_ogg_wave_format now = decoder.format();
            if (!same_format(now, result.format)) refuse_format_change(plan, result.format, now);
        }
        loop.play(decoder, number, result.format);
    }
    result.decode_seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    result.pcm_bytes = out.data_bytes();
    return result;
}
