// The two files a fuzzed host session reads or maps: one temporary folder
// per process, the files rewritten for every input, all removed at exit.
#ifndef VELMORA_FUZZ_SESSION_FILES_H
#define VELMORA_FUZZ_SESSION_FILES_H

#include <cstdint>
#include <string>
#include <vector>

class session_files {
public:
    static session_files &instance();

    const std::string &path(int which) const { return which == 0 ? first_ : second_; }

    // Writes bytes as file which (0 or 1), replacing what was there.
    void write(int which, const std::uint8_t *bytes, std::size_t size) const;
    void truncate(int which, std::size_t size) const;
    void remove(int which) const;

    // Lowest free file descriptor: any descriptor left open raises or takes
    // it, so comparing it before and after a session finds a leak cheaply.
    static int lowest_free_descriptor();
    // True when the process maps any file of the folder.
    bool any_file_mapped() const;

private:
    session_files();
    ~session_files();
    std::string folder_, first_, second_;
};

#endif  // VELMORA_FUZZ_SESSION_FILES_H
