#include "support/resource_watch.h"

#include <fcntl.h>
#include <malloc.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

int open_fd_count() {
    int count = 0;
    for (const auto &entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        (void)entry;
        ++count;
    }
    return count;
}

int mapping_count(const std::string &needle) {
    std::ifstream maps("/proc/self/maps");
    int count = 0;
    for (std::string line; std::getline(maps, line);) {
        if (needle.empty() || line.find(needle) != std::string::npos) ++count;
    }
    return count;
}

namespace {

// The C library keeps a few freed blocks of each small size in a per-thread
// cache (seven of each, blocks up to 1032 bytes) and counts them as in use.
constexpr std::size_t LARGEST_CACHED_BLOCK = 1032;
constexpr int CACHED_PER_SIZE = 7;

}  // namespace

// Takes every cached block out first, with blocks of every size the cache
// keeps, and frees them after counting: the same blocks are held at every
// count, so two counts differ by what the program itself holds.
long heap_in_use() {
    static std::vector<void *> held;
    for (std::size_t size = 1; size <= LARGEST_CACHED_BLOCK; size += 8) {
        for (int i = 0; i < CACHED_PER_SIZE; ++i) held.push_back(std::malloc(size));
    }
    const long in_use = static_cast<long>(mallinfo2().uordblks);
    for (void *block : held) std::free(block);
    held.clear();
    return in_use;
}

namespace {

long status_kilobytes(const std::string &field) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.compare(0, field.size() + 1, field + ":") == 0) return std::atol(line.c_str() + field.size() + 1);
    }
    return -1;
}

}  // namespace

long resident_bytes() { return status_kilobytes("VmRSS") * 1024; }

long resident_peak_bytes() { return status_kilobytes("VmHWM") * 1024; }

// The allocator's free pages go back to the system first, so that a block
// made of them counts again once touched. Writing 5 to clear_refs resets
// the high-water mark (Linux 4.0 on).
// The kernel's resident counts are per-CPU sums that may lag by a few
// pages, so the mark is checked with some slack and the reset tried again.
bool reset_resident_peak() {
    malloc_trim(0);
    for (int attempt = 0; attempt < 5; ++attempt) {
        std::ofstream clear("/proc/self/clear_refs");
        clear << "5";
        clear.flush();
        if (!clear.good()) return false;
        if (resident_peak_bytes() <= resident_bytes() + 256 * 1024) return true;
    }
    return false;
}

fd_sentinels::fd_sentinels(int count) {
    for (int i = 0; i < count; ++i) {
        const int fd = open("/dev/null", O_RDONLY | O_CLOEXEC);
        if (fd < 0) throw std::runtime_error("cannot open /dev/null");
        fds_.push_back(fd);
    }
}

fd_sentinels::~fd_sentinels() {
    for (int fd : fds_) close(fd);
}

bool fd_sentinels::all_open() const {
    for (int fd : fds_) {
        if (fcntl(fd, F_GETFD) < 0) return false;
    }
    return true;
}

long long file_offset_of(std::uintptr_t file) {
    if (file == 0 || file == ~std::uintptr_t{0}) return -1;
    return static_cast<long long>(lseek(static_cast<int>(file - 1), 0, SEEK_CUR));
}
