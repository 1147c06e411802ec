#include "input_block.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Reads exactly size bytes, retrying short and interrupted reads.
bool read_all(int fd, std::uint8_t *into, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t got = ::read(fd, into + done, size - done);
        if (got <= 0) return false;
        done += static_cast<std::size_t>(got);
    }
    return true;
}

}  // namespace

input_block::input_block(const std::string &path) : path_(path) {
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0) return;
    struct stat info {};
    if (::fstat(fd, &info) == 0 && info.st_size > 0) {
        size_ = static_cast<std::size_t>(info.st_size);
        mapped_ = size_;
        void *area = ::mmap(nullptr, mapped_, PROT_READ | PROT_WRITE,
                            MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (area != MAP_FAILED) {
            bytes_ = static_cast<std::uint8_t *>(area);
            if (!read_all(fd, bytes_, size_)) {
                ::munmap(bytes_, mapped_);
                bytes_ = nullptr;
            }
        }
    }
    ::close(fd);
}

input_block::~input_block() {
    if (bytes_ != nullptr) ::munmap(bytes_, mapped_);
}
