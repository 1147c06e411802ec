// An input file and the bytes of it that hold the stream, checked against
// the file before the decoder sees it, so each problem gets its own message.
#ifndef VELMORA_TOOLS_INPUT_RANGE_H
#define VELMORA_TOOLS_INPUT_RANGE_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct input_range {
    std::string path;
    std::uint32_t start = 0;  // offset of the stream's first byte
    std::uint32_t end = 0;    // offset just past its last byte; start < end <= file size
    std::uint32_t bytes() const { return end - start; }
};

// The name that stands for standard input, read whole into memory; only
// the memory input can take it.
inline const std::string standard_input_name = "-";

// path as messages show it: "standard input" for "-", long paths shortened.
std::string shown_name(const std::string &path);

// Checks that path is a readable, non-empty regular file below 4 GiB with a
// name the decoder accepts, and that [start, end) lies inside it; without
// length or end the range runs to the end of the file. Throws
// tool_error(exit_status::input) saying what is wrong. A FIFO, device or
// socket is refused without waiting for a writer; "-" takes standard input.
input_range resolve_input(const std::string &path, std::uint32_t start,
                          std::optional<std::uint32_t> length, std::optional<std::uint32_t> end);

// Reads a range part after part through one open file (or standard
// input's bytes), for a walk over its pages.
class range_reader {
public:
    explicit range_reader(const input_range &range);
    ~range_reader();
    range_reader(const range_reader &) = delete;
    range_reader &operator=(const range_reader &) = delete;
    // Up to size bytes from offset (in the file), fewer where the range
    // ends. Throws tool_error(exit_status::input) when a read fails.
    std::size_t read(std::uint32_t offset, std::uint8_t *to, std::size_t size);

private:
    const input_range &range_;
    int fd_ = -1;  // none for standard input
};

// The range's bytes, or only its first most_bytes.
std::vector<std::uint8_t> read_range(const input_range &range, std::size_t most_bytes = SIZE_MAX);

#endif  // VELMORA_TOOLS_INPUT_RANGE_H
