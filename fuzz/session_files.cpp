#include "fuzz/session_files.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "fuzz/fuzz_failure.h"

namespace fs = std::filesystem;

session_files &session_files::instance() {
    static session_files files;
    return files;
}

session_files::session_files() {
    std::string pattern = (fs::temp_directory_path() / "velmora-fuzz-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) fuzz_fail("cannot make a temporary folder");
    folder_ = pattern;
    first_ = folder_ + "/first.ogg";
    second_ = folder_ + "/second.ogg";
}

session_files::~session_files() {
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
}

void session_files::write(int which, const std::uint8_t *bytes, std::size_t size) const {
    const int fd = open(path(which).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) fuzz_fail("cannot write a session file");
    std::size_t done = 0;
    while (done < size) {
        const ssize_t wrote = ::write(fd, bytes + done, size - done);
        if (wrote <= 0) fuzz_fail("cannot write a session file");
        done += static_cast<std::size_t>(wrote);
    }
    close(fd);
}

void session_files::truncate(int which, std::size_t size) const {
    // A file removed earlier in the session stays removed.
    if (::truncate(path(which).c_str(), static_cast<off_t>(size)) != 0 && errno != ENOENT) {
        fuzz_fail("cannot truncate a session file");
    }
}

void session_files::remove(int which) const {
    unlink(path(which).c_str());
}

int session_files::lowest_free_descriptor() {
    const int probe = fcntl(0, F_DUPFD_CLOEXEC, 0);
    close(probe);
    return probe;
}

bool session_files::any_file_mapped() const {
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line)) {
        if (line.find(folder_) != std::string::npos) return true;
    }
    return false;
}
