// Every way a run can fail: one message, the documented exit code, no crash,
// and nothing left in the output's folder, neither the output nor a
// temporary file.
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <thread>

#include <gtest/gtest.h>

#include "support/test_data.h"
#include "tool_run.h"

namespace {

constexpr int usage = 2, input = 3, output = 4, stream = 5;

// Runs the tool with out.wav in a fresh folder as output, in that folder;
// inputs named "@NAME" are fixtures, "=NAME" files the test made there.
struct failing_run {
    scratch_dir dir;

    std::string path_of(const std::string &arg) const {
        if (arg.rfind('@', 0) == 0) return fixture_path(arg.substr(1));
        if (arg.rfind('=', 0) == 0) return dir.file(arg.substr(1));
        return arg;
    }

    void expect_failure(std::vector<std::string> args, int code, const std::string &message,
                        run_settings settings = {}) const {
        const auto before = folder_entries(dir.path());
        for (std::string &arg : args) arg = path_of(arg);
        args.insert(args.end(), {"-o", dir.file("out.wav")});
        settings.directory = dir.path();
        const tool_outcome run = run_tool(args, settings);
        EXPECT_FALSE(run.hung) << "killed at the time limit";
        EXPECT_EQ(run.exit_code, code) << run.err;
        EXPECT_EQ(run.err.rfind("velmora-decode: ", 0), 0u) << run.err;
        EXPECT_NE(run.err.find(message), std::string::npos) << "wanted '" << message << "' in: " << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << "one line: " << run.err;
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(folder_entries(dir.path()), before) << "left behind in the output's folder";
    }
};

struct refused_stream {
    const char *fixture;
    const char *message;
};

// Streams the decoder refuses, over every input kind.
class cli_refused_stream
    : public ::testing::TestWithParam<std::tuple<refused_stream, const char *>> {};

TEST_P(cli_refused_stream, exits_with_the_stream_code_and_says_why) {
    const auto [stream_case, kind] = GetParam();
    failing_run().expect_failure({"--input", kind, std::string("@") + stream_case.fixture}, stream,
                                 stream_case.message);
}

INSTANTIATE_TEST_SUITE_P(
    all_kinds, cli_refused_stream,
    ::testing::Combine(::testing::Values(refused_stream{"notvorbis.ogg", "not Vorbis (it holds Opus)"},
                                         refused_stream{"plain.wav", "not an Ogg stream (it is a RIFF/WAVE file)"},
                                         refused_stream{"truncated_setup.ogg", "damaged or cut short"},
                                         refused_stream{"badcrc_header.ogg", "damaged or cut short"},
                                         refused_stream{"embedded.bin", "try --start 4321"}),
                       ::testing::Values("memory", "read", "mapped")),
    [](const auto &info) {
        const std::string fixture = std::get<0>(info.param).fixture;
        return fixture.substr(0, fixture.find('.')) + "_" + std::get<1>(info.param);
    });

TEST(cli_errors, unusable_input_files) {
    failing_run run;
    run.expect_failure({"=missing.ogg"}, input, "No such file or directory");
    std::filesystem::create_directory(run.dir.file("folder.ogg"));
    run.expect_failure({"=folder.ogg"}, input, "is a directory");
    write_bytes(run.dir.file("empty.ogg"), {});
    run.expect_failure({"=empty.ogg"}, input, "is empty");
    run.expect_failure({"--intro", "@intro.ogg", "--loop", "=missing.ogg"}, input, "No such file");
}

// The decoder keeps paths in 1024 bytes; a longer one that exists on disk
// is refused up front, whatever the input kind.
TEST(cli_errors, path_over_1023_bytes) {
    failing_run run;
    std::string path = run.dir.path();
    while (path.size() < 1100) {
        path += "/" + std::string(200, 'd');
        std::filesystem::create_directory(path);
    }
    path += "/x.ogg";
    std::filesystem::copy_file(fixture_path("short.ogg"), path);
    for (const char *kind : {"memory", "read", "mapped"}) run.expect_failure({"--input", kind, path}, input, "1023");
}

TEST(cli_errors, offsets_beyond_the_file) {
    const failing_run run;  // embedded.bin has 30748 bytes
    run.expect_failure({"@embedded.bin", "--start", "30748"}, input, "beyond the end");
    run.expect_failure({"@embedded.bin", "--start", "4321", "--length", "26428"}, input, "runs past the end");
    run.expect_failure({"@embedded.bin", "--start", "4321", "--end", "30749"}, input, "beyond the end");
    run.expect_failure({"--input", "mapped", "@embedded.bin", "--end", "4000000000"}, input, "beyond the end");
}

TEST(cli_errors, bad_arguments) {
    const failing_run run;
    run.expect_failure({}, usage, "no input");
    run.expect_failure({"@short.ogg", "--bogus"}, usage, "--bogus");
    run.expect_failure({"@short.ogg", "--input", "tape"}, usage, "tape");
    run.expect_failure({"@short.ogg", "--start", "12k"}, usage, "--start takes a number");
    run.expect_failure({"@short.ogg", "--start", "-1"}, usage, "--start takes a number");
    run.expect_failure({"@short.ogg", "--loops", "4294967296"}, usage, "--loops takes a number");
    run.expect_failure({"@short.ogg", "--length", "10", "--end", "10"}, usage, "excludes");
    run.expect_failure({"@short.ogg", "--start", "100", "--end", "100"}, usage, "--end must be greater");
    run.expect_failure({"@short.ogg", "--length", "0"}, usage, "--length must be at least 1");
    run.expect_failure({"@short.ogg", "--chunk", "0"}, usage, "--chunk");
    run.expect_failure({"--intro", "@intro.ogg"}, usage, "--loop");
    run.expect_failure({"@short.ogg", "--intro", "@intro.ogg", "--loop", "@loop.ogg"}, usage, "excludes");
    const tool_outcome no_output = run_tool({fixture_path("short.ogg")});
    EXPECT_EQ(no_output.exit_code, usage);
    EXPECT_NE(no_output.err.find("--output is required"), std::string::npos);
}

// A WAV holds one format; the loop is checked before anything is written.
TEST(cli_errors, loop_in_another_format) {
    failing_run().expect_failure({"--intro", "@stereo44.ogg", "--loop", "@mono22.ogg", "--loops", "2"}, stream,
                                 "a WAV file holds one format");
    failing_run().expect_failure({"--intro", "@intro.ogg", "--loop", "@notvorbis.ogg"}, stream, "not Vorbis");
}

TEST(cli_errors, output_that_cannot_be_written) {
    const scratch_dir dir;
    std::filesystem::create_directory(dir.file("taken"));
    const std::string input = fixture_path("short.ogg");
    for (const std::string &target : {dir.file("no/such/folder/out.wav"), dir.file("taken"), std::string("/dev/full")}) {
        const tool_outcome run = run_tool({input, "-o", target});
        EXPECT_EQ(run.exit_code, output) << target << ": " << run.err;
        EXPECT_NE(run.err.find("cannot "), std::string::npos) << run.err;
    }
    EXPECT_EQ(folder_entries(dir.path()), std::vector<std::string>{"taken"});
}

// A write that fails halfway (here a file size limit) removes the partial
// file instead of leaving it under the output's name.
TEST(cli_errors, write_failing_midway_leaves_nothing) {
    run_settings limited;
    limited.file_size_limit = 100000;
    failing_run().expect_failure({"@sample.ogg"}, output, "File too large", limited);
}

TEST(cli_errors, unreadable_input) {
    failing_run run;
    std::filesystem::copy_file(fixture_path("short.ogg"), run.dir.file("locked.ogg"));
    ::chmod(run.dir.file("locked.ogg").c_str(), 0);
    run_settings settings;
    if (::geteuid() == 0) {  // root reads anything: run as nobody, in a folder nobody may enter
        if (::getpwnam("nobody") == nullptr) GTEST_SKIP() << "running as root and no user to drop to";
        ::chmod(run.dir.path().c_str(), 0777);
        settings.user = "nobody";
    }
    run.expect_failure({"=locked.ogg"}, input, "Permission denied", settings);
}

// A FIFO that no process writes (as input) or reads (as output) would block
// a plain open for ever: each input kind refuses it at once, and so does
// the output. The run is killed if it hangs all the same.
TEST(cli_errors, fifo_without_a_writer_or_a_reader_is_refused_at_once) {
    failing_run run;
    ASSERT_EQ(::mkfifo(run.dir.file("pipe.ogg").c_str(), 0600), 0);
    run_settings bounded;
    bounded.seconds_limit = 60;
    for (const char *kind : {"memory", "read", "mapped"}) {
        run.expect_failure({"--input", kind, "=pipe.ogg"}, input, "not a regular file", bounded);
    }
    const tool_outcome out = run_tool({fixture_path("short.ogg"), "-o", run.dir.file("pipe.ogg")}, bounded);
    EXPECT_FALSE(out.hung);
    EXPECT_EQ(out.exit_code, output) << out.err;
}

// A chained file whose streams differ in format cannot be one WAV file: it
// is refused before anything is written.
TEST(cli_errors, chained_streams_in_two_formats) {
    failing_run().expect_failure({"@chained.ogg"}, stream, "a WAV file holds one format");
}

// Interrupted while writing: the temporary file goes, no output appears.
TEST(cli_errors, interrupt_removes_the_temporary_file) {
    const scratch_dir dir;
    const pid_t child = start_tool({fixture_path("sample.ogg"), "--loops", "400", "-o", dir.file("out.wav")});
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (folder_entries(dir.path()).empty() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    const auto seen = folder_entries(dir.path());
    ::kill(child, SIGINT);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_EQ(seen.size(), 1u) << "no temporary file appeared";
    EXPECT_NE(seen[0], "out.wav");
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT);
    EXPECT_TRUE(folder_entries(dir.path()).empty());
}

}  // namespace
