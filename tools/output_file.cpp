#include "output_file.h"

#include <cerrno>
#include <cstring>

#include "exit_status.h"
#include "interrupt_cleanup.h"
#include "os.h"

// A device or pipe named as output (/dev/null, a fifo) is written like
// standard output: renaming a file over it would replace the device.
output_file::output_file(const std::string &path, bool needs_rewrite) : path_(path) {
    const file_kind target = path == "-" ? file_kind::special : kind_at(path);
    if (target == file_kind::directory) throw tool_error(exit_status::output, "cannot write " + path + ": it is a directory");
    try {
        if (target == file_kind::special) {
            open_stream(needs_rewrite);
        } else {
            open_beside(path);
        }
    } catch (...) {
        release();
        throw;
    }
}

output_file::~output_file() { release(); }

// Closes what is open and removes an uncommitted temporary file.
void output_file::release() noexcept {
    if (file_ != nullptr && file_ != stream_) std::fclose(file_);
    if (stream_ != nullptr && stream_ != stdout) std::fclose(stream_);
    file_ = stream_ = nullptr;
    if (!temp_path_.empty() && !committed_) {
        std::remove(temp_path_.c_str());
        keep_on_interrupt();
    }
}

void output_file::open_beside(const std::string &path) {
    std::string pattern = path + ".XXXXXX";
    file_ = create_removed_on_interrupt(pattern);
    if (file_ == nullptr) fail("create");
    temp_path_ = pattern;
}

void output_file::open_stream(bool needs_rewrite) {
    stream_ = path_ == "-" ? stdout : open_device(path_);
    if (stream_ == nullptr && errno == ENXIO) {
        throw tool_error(exit_status::output, "cannot open " + path_ + ": no process is reading from it");
    }
    if (stream_ == nullptr) fail("open");
    use_binary_mode(stream_);
    if (is_terminal(stream_)) {
        throw tool_error(exit_status::output, "will not write PCM to a terminal; redirect it or name an output file");
    }
    spooled_ = needs_rewrite;
    file_ = spooled_ ? open_spool() : stream_;
    if (file_ == nullptr) fail("create a spool file for");
}

void output_file::write(const void *bytes, std::size_t size) {
    if (std::fwrite(bytes, 1, size, file_) != size) fail("write");
}

void output_file::rewrite_start(const void *bytes, std::size_t size) {
    if (std::fseek(file_, 0, SEEK_SET) != 0) fail("rewind");
    write(bytes, size);
    if (std::fseek(file_, 0, SEEK_END) != 0) fail("seek in");
}

// The rename comes last, after the data is on disk, so the name never
// points at an incomplete file, even after a power cut. The file is closed
// first: Windows renames no open file.
void output_file::commit() {
    if (spooled_) copy_spool_out();
    if (std::fflush(stream_ != nullptr ? stream_ : file_) != 0) fail("write");
    if (temp_path_.empty()) return;
    if (!flush_to_disk(file_)) fail("write");
    const int closed = std::fclose(file_);
    file_ = nullptr;
    if (closed != 0) fail("write");
    if (!replace_file(temp_path_, path_)) fail("rename the finished file to");
    committed_ = true;
    keep_on_interrupt();
}

void output_file::copy_spool_out() {
    if (std::fflush(file_) != 0 || std::fseek(file_, 0, SEEK_SET) != 0) fail("read back the spool of");
    char block[65536];
    std::size_t got;
    while ((got = std::fread(block, 1, sizeof block, file_)) > 0) {
        if (std::fwrite(block, 1, got, stream_) != got) fail("write");
    }
    if (std::ferror(file_)) fail("read back the spool of");
}

void output_file::fail(const char *doing) const {
    const std::string target = path_ == "-" ? std::string("standard output") : path_;
    throw tool_error(exit_status::output, std::string("cannot ") + doing + " " + target + ": " + std::strerror(errno));
}
