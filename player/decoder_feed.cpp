#include "decoder_feed.h"

#include <algorithm>
#include <cstring>
#include <exception>

#include "pcm_format.h"

namespace {

// Bytes asked per decoding call; a call may write a batch beyond them.
constexpr std::int32_t call_bytes = 4096;

// Decoding calls that gave nothing, in one buffer, before the buffer is sent
// out padded with silence rather than waited for.
constexpr unsigned most_empty_calls_per_buffer = 64;

}  // namespace

decoder_feed::decoder_feed(qdx_ogg_decoder *decoder, const feed_plan &plan)
    : decoder_(decoder), plan_(plan), format_(*qdx_ogg_pcm_format(decoder)),
      staging_((call_bytes + QDX_OGG_MAX_OVERRUN) / 2) {}

speaker_layout decoder_feed::prepare_device() {
    require_usable_format(format_);
    const std::optional<speaker_layout> layout = sdl_speaker_layout(format_.nChannels);
    if (!layout) {
        throw tool_error(exit_status::stream,
                         "the stream has " + std::to_string(format_.nChannels) + " channels; SDL plays at most 8");
    }
    if (format_.nSamplesPerSec > INT32_MAX) {
        throw tool_error(exit_status::stream, "the stream's rate of " + std::to_string(format_.nSamplesPerSec) +
                                                  " Hz is beyond what SDL plays");
    }
    layout_ = *layout;
    state_.store(suspended_ ? feed_state::suspended : feed_state::playing);
    return layout_;
}

feed_status decoder_feed::status() const {
    feed_status s;
    s.state = state_.load();
    s.play = shown_play_.load();
    s.frames = shown_frames_.load();
    s.resume_failed = resume_failed_.load();
    return s;
}

void decoder_feed::callback(void *feed, std::uint8_t *stream, int bytes) noexcept {
    auto *self = static_cast<decoder_feed *>(feed);
    try {
        self->fill(stream, bytes);
    } catch (const std::exception &e) {
        std::memset(stream, 0, static_cast<std::size_t>(bytes));
        self->fail(exit_status::internal, e.what());
    }
}

// A state that ends playback is shown one buffer late: by then the buffer
// that holds the last PCM has been handed to the device, so closing the
// device loses nothing.
void decoder_feed::fill(std::uint8_t *stream, int bytes) {
    if (next_state_) {
        state_.store(*next_state_);
        next_state_.reset();
    }
    const feed_state state = state_.load();
    if (state == feed_state::new_format || state == feed_state::ended || state == feed_state::failed) {
        std::memset(stream, 0, static_cast<std::size_t>(bytes));
        return;
    }
    take_requests();
    follow_schedule();
    if (suspended_) {
        play_silence(stream, bytes);
        return;
    }
    const std::size_t frame_bytes = layout_.device_channels * 2u;
    const std::size_t frames = static_cast<std::size_t>(bytes) / frame_bytes;
    // SDL's buffers are aligned for any sample type.
    const std::size_t sent = deliver(reinterpret_cast<std::int16_t *>(stream), frames);
    std::memset(stream + sent * frame_bytes, 0, static_cast<std::size_t>(bytes) - sent * frame_bytes);
    shown_play_.store(play_);
    shown_frames_.store(play_frames_);
}

void decoder_feed::take_requests() {
    const unsigned asked = requests_.exchange(0);
    if (asked & toggle_suspend_bit) {
        if (suspended_) resume();
        else suspend();
    }
    // A suspended decoder refuses a replay; so does the player.
    if ((asked & replay_bit) && !suspended_) {
        // Replaying the intro moves on to the loop, as the decoder does.
        restart(plan_.intro_then_loop && play_ == 1 ? 2 : play_);
    }
}

void decoder_feed::follow_schedule() {
    if (!plan_.suspend) return;
    const double rate = format_.nSamplesPerSec;
    const bool due = static_cast<double>(played_frames_) >= plan_.suspend->at_seconds * rate;
    if (!schedule_suspended_ && !schedule_done_ && due) {
        suspend();
        schedule_suspended_ = suspended_;
        silent_frames_ = 0;
    } else if (schedule_suspended_ && static_cast<double>(silent_frames_) >= plan_.suspend->for_seconds * rate) {
        resume();
        schedule_suspended_ = suspended_;
        schedule_done_ = !suspended_;
    }
}

void decoder_feed::suspend() {
    if (suspended_ || qdx_ogg_suspend(decoder_) != 0) return;
    suspended_ = true;
    state_.store(feed_state::suspended);
}

// A mapped file that cannot be reopened keeps the decoder suspended; the
// status line says so, and the next toggle tries again.
void decoder_feed::resume() {
    if (!suspended_) return;
    const bool resumed = qdx_ogg_resume(decoder_) == 0;
    resume_failed_.store(!resumed);
    if (!resumed) return;
    suspended_ = false;
    state_.store(feed_state::playing);
}

// The suspended decoder's own silence, straight into the device's buffer
// (zero bytes are silence in any channel order).
void decoder_feed::play_silence(std::uint8_t *stream, int bytes) {
    if (qdx_ogg_process_frame(decoder_, stream, bytes) != bytes) {
        std::memset(stream, 0, static_cast<std::size_t>(bytes));
    }
    silent_frames_ += static_cast<std::size_t>(bytes) / (layout_.device_channels * 2u);
}

// Sends up to frames frames; fewer when the stream ends, the decoder fails or
// it needs more calls than one buffer should wait for.
std::size_t decoder_feed::deliver(std::int16_t *to, std::size_t frames) {
    const unsigned channels = layout_.vorbis_channels;
    std::size_t sent = 0;
    unsigned empty_calls_here = 0;
    while (sent < frames && !next_state_) {
        if (staged_at_ < staged_end_) {
            const std::size_t n = std::min(frames - sent, (staged_end_ - staged_at_) / channels);
            layout_.place(staging_.data() + staged_at_, to + sent * layout_.device_channels, n);
            staged_at_ += n * channels;
            sent += n;
            play_frames_ += n;
            played_frames_ += n;
        } else if (qdx_ogg_eof(decoder_)) {
            if (!start_next_play()) break;
        } else if (!decode_more() && ++empty_calls_here >= most_empty_calls_per_buffer) {
            break;
        }
    }
    return sent;
}

// One decoding call into the staging buffer; false when it gave nothing.
bool decoder_feed::decode_more() {
    const std::int32_t got = qdx_ogg_process_frame(decoder_, staging_.data(), call_bytes);
    if (got < 0 || got > call_bytes + QDX_OGG_MAX_OVERRUN || got % format_.nBlockAlign != 0) {
        fail(exit_status::internal, "the decoder returned " + std::to_string(got) + " bytes for a call of " +
                                        std::to_string(call_bytes));
        return false;
    }
    if (got == 0) {
        if (++empty_calls_ > plan_.most_empty_calls) fail(exit_status::stream, "the decoder stopped making progress");
        return false;
    }
    empty_calls_ = 0;
    play_gave_pcm_ = true;
    staged_at_ = 0;
    staged_end_ = static_cast<std::size_t>(got) / 2;
    return true;
}

bool decoder_feed::start_next_play() {
    // A stream that ends without a sample would be replayed without end.
    if (!play_gave_pcm_) {
        fail(exit_status::stream, "the stream holds no audio");
        return false;
    }
    if (plan_.plays && play_ >= *plan_.plays) {
        finish(feed_state::ended);
        return false;
    }
    return restart(play_ + 1);
}

// Replays the decoder as play number play. False when the stream now playing
// needs another device (a loop body in another format) or did not start.
bool decoder_feed::restart(std::uint64_t play) {
    const std::int32_t replayed = qdx_ogg_replay(decoder_);
    staged_at_ = staged_end_ = 0;
    play_ = play;
    play_frames_ = 0;
    play_gave_pcm_ = false;
    empty_calls_ = 0;
    if (replayed != 0) {
        const std::string &name = plan_.second_name.empty() ? plan_.first_name : plan_.second_name;
        fail(exit_status::stream, name + " could not start again at the replay");
        return false;
    }
    const qdx_ogg_wave_format now = *qdx_ogg_pcm_format(decoder_);
    if (!same_format(now, format_)) {
        format_ = now;
        finish(feed_state::new_format);
        return false;
    }
    return true;
}

void decoder_feed::finish(feed_state state) {
    if (!next_state_) next_state_ = state;
}

void decoder_feed::fail(exit_status status, const std::string &why) {
    if (next_state_) return;
    failure_status_ = status;
    failure_ = why;
    finish(feed_state::failed);
}
