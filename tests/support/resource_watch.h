// Watching what a decoder holds of the process: open descriptors, mappings,
// heap bytes, descriptors closed twice.
#ifndef VELMORA_TEST_RESOURCE_WATCH_H
#define VELMORA_TEST_RESOURCE_WATCH_H

#include <cstdint>
#include <string>
#include <vector>

// Entries in /proc/self/fd.
int open_fd_count();

// Lines of /proc/self/maps; with a non-empty needle, only the lines naming it.
int mapping_count(const std::string &needle = std::string());

// Heap bytes in use, as the C library's allocator counts them, taken with its
// cache of freed small blocks emptied, so that two counts differ only by what
// the program holds. Under AddressSanitizer its own allocator serves every
// block and this count stays put: there the leak checker watches instead.
long heap_in_use();

// Slack for what the allocator or the test framework may keep between two
// counts: far less than a decoder record, a codec state or an owned block,
// each leaked twenty times over.
constexpr long HEAP_NOISE_BYTES = 16 * 1024;

// Heap bytes that `times` runs of session leave in use, counted after a first
// run that loads what the test keeps for good (fixtures, references).
template <typename Session>
long heap_left_by(Session session, int times = 20) {
    session();
    const long before = heap_in_use();
    for (int i = 0; i < times; ++i) session();
    return heap_in_use() - before;
}

// The process's resident memory and its high-water mark, in bytes, from
// /proc/self/status. reset_resident_peak() hands the allocator's free pages
// back and brings the mark down to what is resident then (false where the
// kernel refuses), so that the mark shows the most a step took, freed or not.
long resident_bytes();
long resident_peak_bytes();
bool reset_resident_peak();

// Descriptors opened on /dev/null into the lowest free numbers, which are the
// numbers a decoder has just closed. If the decoder closes one of those
// numbers a second time, it closes a sentinel, and all_open() says so.
class fd_sentinels {
public:
    explicit fd_sentinels(int count = 8);
    ~fd_sentinels();
    fd_sentinels(const fd_sentinels &) = delete;
    fd_sentinels &operator=(const fd_sentinels &) = delete;
    bool all_open() const;

private:
    std::vector<int> fds_;
};

// The offset of an open file handle (the POSIX backend's handle is the
// descriptor + 1); -1 when the handle is not open.
long long file_offset_of(std::uintptr_t file);

#endif  // VELMORA_TEST_RESOURCE_WATCH_H
