// velmora-play with SDL's disk audio driver, which writes what a device
// would play into a file: the file must hold the decoder's PCM (Tremor's own
// ov_read decode of the same file), with only silence before and after it,
// and a suspend must add silence and lose nothing.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/bounded_wait.h"
#include "support/reference.h"
#include "support/test_data.h"

extern char **environ;

namespace {

struct player_outcome {
    int exit_code = -1;
    bool hung = false;   // killed at the time limit
    std::string err;     // standard error
    std::string played;  // what the disk driver wrote
};

std::string file_text(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The environment with SDL's disk driver writing to played_path as fast as
// the player feeds it (one millisecond between buffers), or with driver in
// place of the disk driver.
std::vector<std::string> player_environment(const std::string &played_path, const std::string &driver) {
    std::vector<std::string> env;
    for (char **at = environ; *at != nullptr; ++at) {
        if (std::string(*at).rfind("SDL_", 0) != 0) env.emplace_back(*at);
    }
    env.push_back("SDL_AUDIODRIVER=" + driver);
    env.push_back("SDL_DISKAUDIOFILE=" + played_path);
    env.push_back("SDL_DISKAUDIODELAY=1");
    return env;
}

std::vector<char *> c_strings(std::vector<std::string> &words) {
    std::vector<char *> pointers;
    for (std::string &word : words) pointers.push_back(word.data());
    pointers.push_back(nullptr);
    return pointers;
}

// Runs the player without a terminal (standard input /dev/null), so it
// plays to the end and exits.
player_outcome run_player(std::vector<std::string> args, const std::string &driver = "disk") {
    const scratch_dir dir;
    const std::string played_path = dir.file("played.raw");
    const std::string err_path = dir.file("stderr.txt");
    args.insert(args.begin(), VELMORA_PLAY_PATH);
    std::vector<std::string> env = player_environment(played_path, driver);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t child = 0;
    const int spawned = posix_spawn(&child, VELMORA_PLAY_PATH, &actions, nullptr, c_strings(args).data(),
                                    c_strings(env).data());
    posix_spawn_file_actions_destroy(&actions);
    player_outcome outcome;
    if (spawned != 0) {
        ADD_FAILURE() << "cannot start " << VELMORA_PLAY_PATH;
        return outcome;
    }
    // A guard against a player that hangs, not a measure of its speed.
    const child_exit ended = wait_for_child(child, 120);
    outcome.hung = ended.killed;
    if (WIFEXITED(ended.status)) outcome.exit_code = WEXITSTATUS(ended.status);
    outcome.err = file_text(err_path);
    outcome.played = file_text(played_path);
    return outcome;
}

std::string reference_pcm(const std::string &fixture) {
    const reference_result result = reference_decode(read_bytes(fixture_path(fixture)));
    EXPECT_TRUE(result.opened) << "Tremor cannot open " << fixture;
    return std::string(result.pcm.begin(), result.pcm.end());
}

// pcm less the whole frames of silence at its two ends.
std::string without_silent_ends(const std::string &pcm, std::size_t frame_bytes) {
    const std::string silent(frame_bytes, '\0');
    std::size_t first = 0;
    std::size_t end = pcm.size() - pcm.size() % frame_bytes;
    while (first < end && pcm.compare(first, frame_bytes, silent) == 0) first += frame_bytes;
    while (end > first && pcm.compare(end - frame_bytes, frame_bytes, silent) == 0) end -= frame_bytes;
    return pcm.substr(first, end - first);
}

std::size_t common_prefix(const std::string &a, const std::string &b) {
    return static_cast<std::size_t>(std::mismatch(a.begin(), a.end(), b.begin(), b.end()).first - a.begin());
}

std::size_t common_suffix(const std::string &a, const std::string &b) {
    return static_cast<std::size_t>(std::mismatch(a.rbegin(), a.rend(), b.rbegin(), b.rend()).first - a.rbegin());
}

constexpr std::size_t stereo_frame = 4;
constexpr std::size_t stereo44_second = 44100 * stereo_frame;

TEST(player_disk, plays_a_file_as_decoded) {
    const player_outcome run = run_player({fixture_path("stereo44.ogg")});
    ASSERT_EQ(run.exit_code, 0) << run.err;
    const std::string played = without_silent_ends(run.played, stereo_frame);
    const std::string expected = without_silent_ends(reference_pcm("stereo44.ogg"), stereo_frame);
    EXPECT_EQ(played.size(), expected.size());
    EXPECT_TRUE(played == expected) << "played PCM differs from the decode from byte "
                                    << common_prefix(played, expected);
}

TEST(player_disk, plays_the_intro_then_the_loop_twice) {
    const player_outcome run = run_player(
        {"--input", "read", "--intro", fixture_path("intro.ogg"), "--loop", fixture_path("loop.ogg"), "--loops", "2"});
    ASSERT_EQ(run.exit_code, 0) << run.err;
    const std::string loop = reference_pcm("loop.ogg");
    const std::string played = without_silent_ends(run.played, stereo_frame);
    const std::string expected = without_silent_ends(reference_pcm("intro.ogg") + loop + loop, stereo_frame);
    EXPECT_EQ(played.size(), expected.size());
    EXPECT_TRUE(played == expected) << "played PCM differs from intro + 2 x loop from byte "
                                    << common_prefix(played, expected);
}

// Suspended after one second for half a second, from a mapped file: what is
// played is the decode up to some point, silence, then the rest of the
// decode from that very point.
TEST(player_disk, a_suspend_plays_silence_then_goes_on_where_it_stopped) {
    const player_outcome run = run_player(
        {"--input", "mapped", "--suspend-at", "1", "--suspend-for", "0.5", fixture_path("stereo44.ogg")});
    ASSERT_EQ(run.exit_code, 0) << run.err;
    const std::string played = without_silent_ends(run.played, stereo_frame);
    const std::string expected = without_silent_ends(reference_pcm("stereo44.ogg"), stereo_frame);
    ASSERT_GE(played.size(), expected.size() + stereo44_second / 2) << "less than half a second of silence added";
    const std::size_t before = common_prefix(played, expected);
    const std::size_t after = common_suffix(played, expected);
    EXPECT_GE(before, stereo44_second) << "the suspend came before one second of playback";
    ASSERT_GE(before + after, expected.size()) << "PCM lost or changed around the suspend";
    const std::size_t gap_end = played.size() - after;
    ASSERT_LE(before, gap_end);
    EXPECT_EQ(played.find_first_not_of('\0', before), gap_end < played.size() ? gap_end : std::string::npos)
        << "the suspend played something other than silence";
}

// A FIFO that no process writes would block a plain open for ever; the
// player refuses it at once, whatever the input kind.
TEST(player_disk, fifo_without_a_writer_is_refused_at_once) {
    const scratch_dir dir;
    const std::string fifo = dir.file("pipe.ogg");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const char *kind : {"memory", "read", "mapped"}) {
        const player_outcome run = run_player({"--input", kind, fifo});
        EXPECT_FALSE(run.hung) << kind;
        EXPECT_EQ(run.exit_code, 3) << kind << ": " << run.err;
    }
}

TEST(player_disk, no_audio_device_is_a_clear_failure) {
    const player_outcome run = run_player({fixture_path("stereo44.ogg")}, "velmora-no-such-driver");
    EXPECT_EQ(run.exit_code, 6);
    EXPECT_NE(run.err.find("no audio output"), std::string::npos) << run.err;
}

}  // namespace
