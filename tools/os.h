// What velmora-decode asks of the operating system where POSIX and Windows
// differ. CMake compiles os_posix.cpp or os_windows.cpp, so the portable
// files include no system header. Failures return -1, null or false with
// errno set, so callers can word one message for both systems.
#ifndef VELMORA_TOOLS_OS_H
#define VELMORA_TOOLS_OS_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

enum class file_kind { none, regular, directory, special };  // special: device, pipe, socket

struct file_facts {
    file_kind kind = file_kind::none;
    std::uint64_t size = 0;  // bytes; meaningful for regular files
};

// Input files: read-only, binary, not inherited by child processes. The
// open never waits: a FIFO without a writer is opened at once (and then
// refused as no regular file) instead of blocking until one comes.
int open_input(const std::string &path);
void close_input(int fd);
bool facts_of(int fd, file_facts &facts);
// Up to bytes from offset: the count read, 0 at end of file, or -1.
long long read_at(int fd, void *to, std::size_t bytes, std::uint64_t offset);

// What is at path now; none when nothing is, or it cannot be examined.
file_kind kind_at(const std::string &path);

// A new file named after pattern, whose trailing XXXXXX are replaced to
// make the name unique, open for binary writing with the permissions any
// new file of the user's gets. On Windows it can be deleted while open.
std::FILE *create_new_file(std::string &pattern);
// A device or FIFO named as output, open for binary writing without
// waiting: a FIFO that no process reads fails at once (errno ENXIO).
std::FILE *open_device(const std::string &path);
// An anonymous binary read-write file, gone once closed.
std::FILE *open_spool();
// Flushes the stream and waits until its data is on the disk.
bool flush_to_disk(std::FILE *stream);
// Renames closed file from over to, replacing an existing file.
bool replace_file(const std::string &from, const std::string &to);

bool is_terminal(std::FILE *stream);
// A terminal that can erase and rewrite its line, as progress_display does.
bool can_rewrite_line(std::FILE *stream);
// Standard output carries PCM bytes: no newline translation.
void use_binary_mode(std::FILE *stream);
// A reader that goes away becomes a write error, not a silent death.
void survive_closed_pipes();

#endif  // VELMORA_TOOLS_OS_H
