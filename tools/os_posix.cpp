// The tool's system calls on POSIX systems (os.h).
#include "os.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>

namespace {

file_kind kind_of(mode_t mode) {
    if (S_ISREG(mode)) return file_kind::regular;
    return S_ISDIR(mode) ? file_kind::directory : file_kind::special;
}

// mkstemp creates files readable by the owner only; the output should get
// the permissions any new file of the user's gets.
void apply_umask(int fd) {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
}

// Reads then block as usual; only regular files are read at all.
void clear_nonblocking(int fd) {
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
}

}  // namespace

int open_input(const std::string &path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd >= 0) clear_nonblocking(fd);
    return fd;
}

void close_input(int fd) { ::close(fd); }

bool facts_of(int fd, file_facts &facts) {
    struct stat info {};
    if (::fstat(fd, &info) != 0) return false;
    facts.kind = kind_of(info.st_mode);
    facts.size = static_cast<std::uint64_t>(info.st_size);
    return true;
}

long long read_at(int fd, void *to, std::size_t bytes, std::uint64_t offset) {
    ssize_t got;
    do {
        got = ::pread(fd, to, bytes, static_cast<off_t>(offset));
    } while (got < 0 && errno == EINTR);
    return got;
}

file_kind kind_at(const std::string &path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return file_kind::none;
    return kind_of(info.st_mode);
}

std::FILE *create_new_file(std::string &pattern) {
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) return nullptr;
    apply_umask(fd);
    std::FILE *stream = ::fdopen(fd, "wb");
    if (stream == nullptr) {
        const int error = errno;
        ::close(fd);
        ::unlink(pattern.c_str());
        errno = error;
    }
    return stream;
}

std::FILE *open_device(const std::string &path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return nullptr;
    clear_nonblocking(fd);
    std::FILE *stream = ::fdopen(fd, "wb");
    if (stream == nullptr) {
        const int error = errno;
        ::close(fd);
        errno = error;
    }
    return stream;
}

std::FILE *open_spool() { return std::tmpfile(); }

bool flush_to_disk(std::FILE *stream) { return std::fflush(stream) == 0 && ::fsync(::fileno(stream)) == 0; }

bool replace_file(const std::string &from, const std::string &to) {
    return std::rename(from.c_str(), to.c_str()) == 0;
}

bool is_terminal(std::FILE *stream) { return ::isatty(::fileno(stream)) != 0; }

bool can_rewrite_line(std::FILE *stream) { return is_terminal(stream); }

void use_binary_mode(std::FILE *) {}

void survive_closed_pipes() { std::signal(SIGPIPE, SIG_IGN); }
