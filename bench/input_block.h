// A whole input file held in memory for the decoders to read in place. The
// bytes live in an anonymous mapping, outside the C heap, so a heap profile of
// a decode shows the decoder's own allocations and nothing of the benchmark.
#ifndef VELMORA_BENCH_INPUT_BLOCK_H
#define VELMORA_BENCH_INPUT_BLOCK_H

#include <cstddef>
#include <cstdint>
#include <string>

class input_block {
public:
    // Reads the whole file; ok() tells whether that worked.
    explicit input_block(const std::string &path);
    ~input_block();
    input_block(const input_block &) = delete;
    input_block &operator=(const input_block &) = delete;

    bool ok() const { return bytes_ != nullptr; }
    const std::uint8_t *bytes() const { return bytes_; }
    std::size_t size() const { return size_; }
    const std::string &path() const { return path_; }

private:
    std::string path_;
    std::uint8_t *bytes_ = nullptr;
    std::size_t size_ = 0;
    std::size_t mapped_ = 0;  // length of the mapping, at least one byte
};

#endif  // VELMORA_BENCH_INPUT_BLOCK_H
