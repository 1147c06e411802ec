// Fills the audio device's buffers from a decoder, as SDL's audio callback.
// While a device is open the callback is the only code that touches the
// decoder (one thread at a time, as velmora.h requires); the main thread asks
// for a suspend or a replay and reads the state through atomics, reads the
// failure once the state says failed (nothing writes it after that), and
// calls the other member functions only while no device is open.
#ifndef VELMORA_PLAYER_DECODER_FEED_H
#define VELMORA_PLAYER_DECODER_FEED_H

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "exit_status.h"
#include "speaker_layout.h"
#include "velmora.h"

// A suspend at a point of playback, then a resume after some silence; both
// in seconds of audio sent to the device.
struct scheduled_suspend {
    double at_seconds = 0;
    double for_seconds = 1;
};

struct feed_plan {
    std::optional<std::uint64_t> plays;  // first play included; none: until stopped
    bool intro_then_loop = false;        // two sources: play 1 is the intro
    std::uint64_t most_empty_calls = 64; // decoding calls without PCM before the decoder counts as stuck
    std::optional<scheduled_suspend> suspend;
    std::string first_name;   // the file of play 1, for messages
    std::string second_name;  // the loop body's file; empty with one source
};

enum class feed_state { playing, suspended, new_format, ended, failed };

// What the status line shows.
struct feed_status {
    feed_state state = feed_state::playing;
    std::uint64_t play = 1;    // 1 for the first play
    std::uint64_t frames = 0;  // frames of the current play sent to the device
    bool resume_failed = false;
};

class decoder_feed {
public:
    decoder_feed(qdx_ogg_decoder *decoder, const feed_plan &plan);
    decoder_feed(const decoder_feed &) = delete;
    decoder_feed &operator=(const decoder_feed &) = delete;

    // SDL_AudioCallback; userdata is the feed.
    static void callback(void *feed, std::uint8_t *stream, int bytes) noexcept;

    // Main thread, any time.
    void request_suspend_toggle() { requests_.fetch_or(toggle_suspend_bit); }
    void request_replay() { requests_.fetch_or(replay_bit); }
    feed_status status() const;

    // Main thread, no device open. The format the next device must play
    // (the stream's, after a new_format state) and where its channels go;
    // throws tool_error when SDL cannot play it.
    const qdx_ogg_wave_format &format() const { return format_; }
    speaker_layout prepare_device();
    // Once status() reports failed: what went wrong.
    exit_status failure_status() const { return failure_status_; }
    const std::string &failure() const { return failure_; }

private:
    static constexpr unsigned toggle_suspend_bit = 1;
    static constexpr unsigned replay_bit = 2;

    void fill(std::uint8_t *stream, int bytes);
    void take_requests();
    void follow_schedule();
    void suspend();
    void resume();
    void play_silence(std::uint8_t *stream, int bytes);
    std::size_t deliver(std::int16_t *to, std::size_t frames);
    bool decode_more();
    bool start_next_play();
    bool restart(std::uint64_t play);
    void finish(feed_state state);
    void fail(exit_status status, const std::string &why);

    qdx_ogg_decoder *decoder_;
    const feed_plan plan_;
    qdx_ogg_wave_format format_{};
    speaker_layout layout_;

    // The audio thread's own, while a device is open.
    std::vector<std::int16_t> staging_;  // decoded, not yet sent; 16-bit for the decoder's alignment
    std::size_t staged_at_ = 0;          // first unsent sample
    std::size_t staged_end_ = 0;         // one past the last decoded sample
    std::uint64_t play_ = 1;
    std::uint64_t play_frames_ = 0;      // frames of the current play sent
    std::uint64_t played_frames_ = 0;    // decoded frames sent, all plays
    std::uint64_t silent_frames_ = 0;    // frames sent while suspended by the schedule
    std::uint64_t empty_calls_ = 0;      // decoding calls in a row that gave nothing
    bool play_gave_pcm_ = false;
    bool suspended_ = false;
    bool schedule_suspended_ = false;
    bool schedule_done_ = false;
    std::optional<feed_state> next_state_;  // shown from the next buffer on, once this one has played

    std::atomic<unsigned> requests_{0};
    std::atomic<feed_state> state_{feed_state::playing};
    std::atomic<std::uint64_t> shown_play_{1};
    std::atomic<std::uint64_t> shown_frames_{0};
    std::atomic<bool> resume_failed_{false};
    exit_status failure_status_ = exit_status::ok;
    std::string failure_;
};

#endif  // VELMORA_PLAYER_DECODER_FEED_H
