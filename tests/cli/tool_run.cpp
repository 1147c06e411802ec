#include "tool_run.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace {

std::vector<char *> argv_of(const std::vector<std::string> &args) {
    static std::string program = VELMORA_DECODE_PATH;
    std::vector<char *> argv{program.data()};
    for (const std::string &arg : args) argv.push_back(const_cast<char *>(arg.c_str()));
    argv.push_back(nullptr);
    return argv;
}

// In the child, between fork and exec: only async-signal-safe calls.
[[noreturn]] void exec_tool(char *const *argv, int out_fd, int err_fd, const run_settings &settings) {
    const int null_fd = ::open("/dev/null", O_RDWR);
    ::dup2(null_fd, STDIN_FILENO);
    ::dup2(out_fd < 0 ? null_fd : out_fd, STDOUT_FILENO);
    ::dup2(err_fd < 0 ? null_fd : err_fd, STDERR_FILENO);
    if (!settings.directory.empty() && ::chdir(settings.directory.c_str()) != 0) ::_exit(126);
    if (settings.file_size_limit != 0) {
        const rlimit limit{static_cast<rlim_t>(settings.file_size_limit), static_cast<rlim_t>(settings.file_size_limit)};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        std::signal(SIGXFSZ, SIG_IGN);  // a write past the limit then fails with EFBIG
    }
    if (settings.user != 0 && (::setgid(settings.user) != 0 || ::setuid(settings.user) != 0)) ::_exit(126);
    ::execv(argv[0], argv);
    ::_exit(127);
}

std::string read_all(std::FILE *file) {
    std::string text;
    std::rewind(file);
    char block[65536];
    std::size_t got;
    while ((got = std::fread(block, 1, sizeof block, file)) > 0) text.append(block, got);
    return text;
}

}  // namespace

tool_outcome run_tool(const std::vector<std::string> &args, const run_settings &settings) {
    std::vector<char *> argv = argv_of(args);
    std::FILE *out = std::tmpfile();
    std::FILE *err = std::tmpfile();
    if (out == nullptr || err == nullptr) throw std::runtime_error("tmpfile failed");
    const pid_t child = ::fork();
    if (child == 0) exec_tool(argv.data(), ::fileno(out), ::fileno(err), settings);
    int status = 0;
    ::waitpid(child, &status, 0);
    tool_outcome outcome;
    if (WIFEXITED(status)) outcome.exit_code = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) outcome.signal_number = WTERMSIG(status);
    outcome.out = read_all(out);
    outcome.err = read_all(err);
    std::fclose(out);
    std::fclose(err);
    return outcome;
}

pid_t start_tool(const std::vector<std::string> &args) {
    std::vector<char *> argv = argv_of(args);
    const pid_t child = ::fork();
    if (child == 0) exec_tool(argv.data(), -1, -1, run_settings{});
    return child;
}

std::string file_text(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> folder_entries(const std::string &dir) {
    std::vector<std::string> names;
    for (const auto &entry : std::filesystem::directory_iterator(dir)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}
