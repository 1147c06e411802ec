// Files for the Windows tests: the fixtures copied beside the test programs,
// scratch folders, and file names in the active code page.
#ifndef VELMORA_TEST_WIN_FILES_H
#define VELMORA_TEST_WIN_FILES_H

#include <cstdint>
#include <string>
#include <vector>

// The folder of the running program, without a trailing separator.
std::string program_dir();

// A committed fixture, as the build copies it: <program_dir>\fixtures\NAME.
std::string fixture_path(const std::string &name);

std::vector<std::uint8_t> read_bytes(const std::string &path);
void write_bytes(const std::wstring &path, const std::vector<std::uint8_t> &bytes);

// The name in the active code page (CP_ACP), as a host holding narrow paths
// has it; empty when a character has no form there.
std::string narrow_in_active_code_page(const std::wstring &wide);
std::wstring widen_ascii(const std::string &ascii);

// A fresh folder under the temporary folder, removed with its files when the
// object goes. Paths are given in both forms; its own name is ASCII.
class scratch_dir {
public:
    scratch_dir();
    ~scratch_dir();
    scratch_dir(const scratch_dir &) = delete;
    scratch_dir &operator=(const scratch_dir &) = delete;
    std::string file(const std::string &name) const { return path_ + "\\" + name; }
    std::wstring wide_file(const std::wstring &name) const { return widen_ascii(path_) + L"\\" + name; }

private:
    std::string path_;
};

#endif  // VELMORA_TEST_WIN_FILES_H
