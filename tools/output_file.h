// Where the output bytes go, so that a failed or interrupted run never
// leaves a file that looks complete.
//
// A named output is written to a temporary file beside it (same folder, so
// the final rename is atomic) and renamed over it by commit(); without
// commit() the temporary file is removed. Standard output ("-") and devices
// are written directly, or, when the writer must go back and patch its
// first bytes, spooled to an anonymous temporary file and copied out by
// commit().
#ifndef VELMORA_TOOLS_OUTPUT_FILE_H
#define VELMORA_TOOLS_OUTPUT_FILE_H

#include <cstddef>
#include <cstdio>
#include <string>

class output_file {
public:
    // Throws tool_error(exit_status::output) when path cannot be written.
    output_file(const std::string &path, bool needs_rewrite);
    ~output_file();
    output_file(const output_file &) = delete;
    output_file &operator=(const output_file &) = delete;

    void write(const void *bytes, std::size_t size);
    // Overwrites the first size bytes; only when constructed with needs_rewrite.
    void rewrite_start(const void *bytes, std::size_t size);
    void commit();

private:
    void open_beside(const std::string &path);
    void open_stream(bool needs_rewrite);
    void copy_spool_out();
    void release() noexcept;
    [[noreturn]] void fail(const char *doing) const;

    std::string path_;       // as given; "-" for standard output
    std::string temp_path_;  // the file beside path_ until renamed or removed
    std::FILE *stream_ = nullptr;  // standard output or a device; null for a file
    std::FILE *file_ = nullptr;    // what writes go to: temporary file, spool, or stream_
    bool spooled_ = false;
    bool committed_ = false;
};

#endif  // VELMORA_TOOLS_OUTPUT_FILE_H
