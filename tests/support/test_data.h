// Where test inputs live, and small file helpers.
#ifndef VELMORA_TEST_DATA_H
#define VELMORA_TEST_DATA_H

#include <cstdint>
#include <string>
#include <vector>

// The project's committed fixtures (fixtures/NAME).
std::string fixture_path(const std::string &name);

// The shared third-party vectors (SUBDIR of the folder VELMORA_SHARED_TESTDATA
// names: in the environment, else as configured, by default
// ../shared/testdata), or "" when it is absent: tests that need it skip,
// saying so. The list of tests is fixed when they are built, so a folder
// named only at run time feeds the checks listed then.
std::string shared_testdata_dir(const std::string &subdir);

// Every *.ogg file of a folder, sorted by name.
std::vector<std::string> ogg_files_in(const std::string &dir);

std::vector<std::uint8_t> read_bytes(const std::string &path);
void write_bytes(const std::string &path, const std::vector<std::uint8_t> &bytes);

// A fresh, empty folder for one test's files, removed with its contents when
// the object goes.
class scratch_dir {
public:
    scratch_dir();
    ~scratch_dir();
    scratch_dir(const scratch_dir &) = delete;
    scratch_dir &operator=(const scratch_dir &) = delete;
    std::string file(const std::string &name) const { return path_ + "/" + name; }
    const std::string &path() const { return path_; }

private:
    std::string path_;
};

#endif  // VELMORA_TEST_DATA_H
