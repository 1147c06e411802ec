// Where a host loop hands the PCM of each call: the timing runs drop it, the
// verification run keeps the reference decoder's output and compares every
// other decoder's output with it, byte for byte, as it arrives.
#ifndef VELMORA_BENCH_PCM_SINK_H
#define VELMORA_BENCH_PCM_SINK_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

class pcm_sink {
public:
    virtual ~pcm_sink() = default;
    virtual void consume(const std::uint8_t *pcm, std::size_t bytes) = 0;
};

// Plays nothing: what a timing run wants.
class discard_sink : public pcm_sink {
public:
    void consume(const std::uint8_t *, std::size_t) override {}
};

// Keeps everything, to serve as the reference.
class collect_sink : public pcm_sink {
public:
    void consume(const std::uint8_t *pcm, std::size_t bytes) override {
        kept.insert(kept.end(), pcm, pcm + bytes);
    }
    std::vector<std::uint8_t> kept;
};

// Writes everything to a file, for a quality measurement against another
// decoder (bench/compare.sh); a profile should not include it.
class file_sink : public pcm_sink {
public:
    explicit file_sink(std::FILE *file) : file_(file) {}
    void consume(const std::uint8_t *pcm, std::size_t bytes) override {
        if (std::fwrite(pcm, 1, bytes, file_) != bytes) failed_ = true;
    }
    bool failed() const { return failed_; }

private:
    std::FILE *file_;
    bool failed_ = false;
};

// Compares with a reference; identical() also needs the lengths to agree.
class compare_sink : public pcm_sink {
public:
    explicit compare_sink(const std::vector<std::uint8_t> &reference) : reference_(reference) {}

    void consume(const std::uint8_t *pcm, std::size_t bytes) override {
        if (differs_ || position_ + bytes > reference_.size() ||
            std::memcmp(pcm, reference_.data() + position_, bytes) != 0) {
            differs_ = true;
        }
        position_ += bytes;
    }

    bool identical() const { return !differs_ && position_ == reference_.size(); }
    std::size_t received() const { return position_; }

private:
    const std::vector<std::uint8_t> &reference_;
    std::size_t position_ = 0;
    bool differs_ = false;
};

#endif  // VELMORA_BENCH_PCM_SINK_H
