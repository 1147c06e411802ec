// Processes are started with posix_spawn, not fork: the tests also run
// under qemu-arm in cross builds, where a forked child does not survive.
#include "tool_run.h"

#include "support/bounded_wait.h"

#include <fcntl.h>
#include <pwd.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

extern char **environ;

namespace {

// setpriv's words to drop to user, the launcher's (an emulator and its
// options, in a cross build), the program, then args.
std::vector<std::string> command_of(const std::vector<std::string> &args, const std::string &user = "") {
    std::vector<std::string> command;
    if (!user.empty()) {
        const passwd *account = ::getpwnam(user.c_str());
        if (account == nullptr) throw std::runtime_error("no user " + user);
        command = {"setpriv", "--reuid", std::to_string(account->pw_uid), "--regid",
                   std::to_string(account->pw_gid), "--clear-groups"};
    }
    std::istringstream launcher(VELMORA_DECODE_LAUNCHER);
    for (std::string word; launcher >> word;) command.push_back(word);
    command.push_back(VELMORA_DECODE_PATH);
    command.insert(command.end(), args.begin(), args.end());
    return command;
}

class spawn_actions {
public:
    spawn_actions() { posix_spawn_file_actions_init(&actions_); }
    ~spawn_actions() { posix_spawn_file_actions_destroy(&actions_); }
    spawn_actions(const spawn_actions &) = delete;
    spawn_actions &operator=(const spawn_actions &) = delete;

    // Standard input from /dev/null; output and errors to out_fd and
    // err_fd, or to /dev/null when negative.
    void redirect(int out_fd, int err_fd) {
        posix_spawn_file_actions_addopen(&actions_, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        to(STDOUT_FILENO, out_fd);
        to(STDERR_FILENO, err_fd);
    }
    void change_directory(const std::string &dir) {
        if (!dir.empty()) posix_spawn_file_actions_addchdir_np(&actions_, dir.c_str());
    }
    const posix_spawn_file_actions_t *get() const { return &actions_; }

private:
    void to(int target, int fd) {
        if (fd >= 0) posix_spawn_file_actions_adddup2(&actions_, fd, target);
        else posix_spawn_file_actions_addopen(&actions_, target, "/dev/null", O_WRONLY, 0);
    }
    posix_spawn_file_actions_t actions_;
};

// The child inherits resource limits and ignored signals, so the limit is
// set here around the spawn; a write past it then fails with EFBIG.
class file_size_limit {
public:
    explicit file_size_limit(long bytes) : active_(bytes != 0) {
        if (!active_) return;
        ::getrlimit(RLIMIT_FSIZE, &previous_);
        const rlimit limit{static_cast<rlim_t>(bytes), previous_.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        previous_handler_ = std::signal(SIGXFSZ, SIG_IGN);
    }
    ~file_size_limit() {
        if (!active_) return;
        ::setrlimit(RLIMIT_FSIZE, &previous_);
        std::signal(SIGXFSZ, previous_handler_);
    }
    file_size_limit(const file_size_limit &) = delete;
    file_size_limit &operator=(const file_size_limit &) = delete;

private:
    bool active_;
    rlimit previous_{};
    void (*previous_handler_)(int) = SIG_DFL;
};

pid_t spawn(const std::vector<std::string> &command, const spawn_actions &actions) {
    std::vector<char *> argv;
    for (const std::string &word : command) argv.push_back(const_cast<char *>(word.c_str()));
    argv.push_back(nullptr);
    pid_t child = 0;
    if (posix_spawnp(&child, argv[0], actions.get(), nullptr, argv.data(), environ) != 0) {
        throw std::runtime_error("cannot start " + command[0]);
    }
    return child;
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
    std::FILE *out = std::tmpfile();
    std::FILE *err = std::tmpfile();
    if (out == nullptr || err == nullptr) throw std::runtime_error("tmpfile failed");
    spawn_actions actions;
    actions.redirect(::fileno(out), ::fileno(err));
    actions.change_directory(settings.directory);
    pid_t child = 0;
    {
        const file_size_limit limit(settings.file_size_limit);
        child = spawn(command_of(args, settings.user), actions);
    }
    const child_exit ended = wait_for_child(child, settings.seconds_limit);
    const int status = ended.status;
    tool_outcome outcome;
    outcome.hung = ended.killed;
    if (WIFEXITED(status)) outcome.exit_code = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) outcome.signal_number = WTERMSIG(status);
    outcome.out = read_all(out);
    outcome.err = read_all(err);
    std::fclose(out);
    std::fclose(err);
    return outcome;
}

pid_t start_tool(const std::vector<std::string> &args) {
    spawn_actions actions;
    actions.redirect(-1, -1);
    return spawn(command_of(args), actions);
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
