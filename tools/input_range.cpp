#include "input_range.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "exit_status.h"
#include "os.h"
#include "velmora.h"

namespace {

[[noreturn]] void refuse(const std::string &why) { throw tool_error(exit_status::input, why); }

// Long paths are shortened in messages; the user typed them and knows them.
std::string shown(const std::string &path) {
    if (path == standard_input_name) return "standard input";
    return path.size() <= 80 ? path : path.substr(0, 40) + "..." + path.substr(path.size() - 36);
}

// Standard input can be read only once: all of it, on first use, kept for
// every later look (the decoder's memory block, the diagnosis of a refusal).
std::vector<std::uint8_t> read_standard_input() {
    if (is_terminal(stdin)) refuse("will not read a stream from a terminal; redirect standard input");
    use_binary_mode(stdin);
    std::vector<std::uint8_t> bytes;
    std::uint8_t block[65536];
    std::size_t got;
    while ((got = std::fread(block, 1, sizeof block, stdin)) > 0) {
        if (bytes.size() + got > UINT32_MAX) refuse("standard input holds 4 GiB or more; the decoder takes 32-bit sizes");
        bytes.insert(bytes.end(), block, block + got);
    }
    if (std::ferror(stdin)) refuse(std::string("cannot read standard input: ") + std::strerror(errno));
    if (bytes.empty()) refuse("standard input is empty");
    return bytes;
}

const std::vector<std::uint8_t> &standard_input() {
    static const std::vector<std::uint8_t> bytes = read_standard_input();
    return bytes;
}

class open_file {
public:
    explicit open_file(const std::string &path) : fd_(open_input(path)) {
        if (fd_ < 0) refuse("cannot open " + shown(path) + ": " + std::strerror(errno));
    }
    ~open_file() { close_input(fd_); }
    open_file(const open_file &) = delete;
    open_file &operator=(const open_file &) = delete;
    int fd() const { return fd_; }

private:
    int fd_;
};

// The size of a file the decoder can take whole: regular, non-empty, with
// offsets that fit its 32 bits.
std::uint32_t usable_size(const open_file &file, const std::string &path) {
    file_facts facts;
    if (!facts_of(file.fd(), facts)) refuse("cannot examine " + shown(path) + ": " + std::strerror(errno));
    if (facts.kind == file_kind::directory) refuse(shown(path) + " is a directory");
    if (facts.kind != file_kind::regular) refuse(shown(path) + " is not a regular file (a FIFO, device or socket); give - to read standard input");
    if (facts.size == 0) refuse(shown(path) + " is empty");
    if (facts.size > UINT32_MAX) refuse(shown(path) + " is 4 GiB or more; the decoder takes 32-bit offsets");
    return static_cast<std::uint32_t>(facts.size);
}

std::uint32_t range_end(const std::string &path, std::uint32_t size, std::uint32_t start,
                        std::optional<std::uint32_t> length, std::optional<std::uint32_t> end) {
    const std::string size_note = " (" + shown(path) + " has " + std::to_string(size) + " bytes)";
    if (start >= size) refuse("--start " + std::to_string(start) + " is at or beyond the end of the file" + size_note);
    if (length && std::uint64_t{start} + *length > size) {
        refuse("--start " + std::to_string(start) + " + --length " + std::to_string(*length) +
               " runs past the end of the file" + size_note);
    }
    if (end && *end > size) refuse("--end " + std::to_string(*end) + " is beyond the end of the file" + size_note);
    if (length) return start + *length;
    return end ? *end : size;
}

}  // namespace

input_range resolve_input(const std::string &path, std::uint32_t start,
                          std::optional<std::uint32_t> length, std::optional<std::uint32_t> end) {
    // The decoder keeps the path for reopening, in 1024 bytes; the same rule
    // holds for memory input so all three kinds accept the same names.
    if (path.size() > QDX_OGG_MAX_PATH_BYTES) {
        refuse("path is " + std::to_string(path.size()) + " bytes, over the decoder's limit of " +
               std::to_string(QDX_OGG_MAX_PATH_BYTES) + ": " + shown(path));
    }
    if (path == standard_input_name) {
        const auto size = static_cast<std::uint32_t>(standard_input().size());
        return input_range{path, start, range_end(path, size, start, length, end)};
    }
    const open_file file(path);
    const std::uint32_t size = usable_size(file, path);
    return input_range{path, start, range_end(path, size, start, length, end)};
}

std::string shown_name(const std::string &path) { return shown(path); }

std::vector<std::uint8_t> read_range(const input_range &range, std::size_t most_bytes) {
    const std::size_t count = std::min<std::size_t>(range.bytes(), most_bytes);
    if (range.path == standard_input_name) {
        const auto first = standard_input().begin() + range.start;
        return std::vector<std::uint8_t>(first, first + static_cast<std::ptrdiff_t>(count));
    }
    const open_file file(range.path);
    std::vector<std::uint8_t> bytes(count);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const long long got = read_at(file.fd(), bytes.data() + done, bytes.size() - done, range.start + done);
        if (got < 0) refuse("cannot read " + shown(range.path) + ": " + std::strerror(errno));
        if (got == 0) refuse(shown(range.path) + " became shorter while being read");
        done += static_cast<std::size_t>(got);
    }
    return bytes;
}

range_reader::range_reader(const input_range &range) : range_(range) {
    if (range.path == standard_input_name) return;
    fd_ = open_input(range.path);
    if (fd_ < 0) refuse("cannot open " + shown(range.path) + ": " + std::strerror(errno));
}

range_reader::~range_reader() {
    if (fd_ >= 0) close_input(fd_);
}

std::size_t range_reader::read(std::uint32_t offset, std::uint8_t *to, std::size_t size) {
    if (offset >= range_.end) return 0;
    size = std::min<std::size_t>(size, range_.end - offset);
    if (fd_ < 0) {
        std::memcpy(to, standard_input().data() + offset, size);
        return size;
    }
    std::size_t done = 0;
    while (done < size) {
        const long long got = read_at(fd_, to + done, size - done, std::uint64_t{offset} + done);
        if (got < 0) refuse("cannot read " + shown(range_.path) + ": " + std::strerror(errno));
        if (got == 0) break;
        done += static_cast<std::size_t>(got);
    }
    return done;
}
