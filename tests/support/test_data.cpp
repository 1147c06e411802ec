#include "support/test_data.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace fs = std::filesystem;

std::string fixture_path(const std::string &name) {
    return std::string(VELMORA_SOURCE_DIR) + "/fixtures/" + name;
}

std::string shared_testdata_dir(const std::string &subdir) {
    const char *override_dir = std::getenv("VELMORA_SHARED_TESTDATA");
    const fs::path base = override_dir ? fs::path(override_dir) : fs::path(VELMORA_SHARED_TESTDATA_DIR);
    const fs::path dir = base / subdir;
    std::error_code ignored;
    return fs::is_directory(dir, ignored) ? dir.lexically_normal().string() : std::string();
}

std::vector<std::string> ogg_files_in(const std::string &dir) {
    std::vector<std::string> files;
    if (dir.empty()) return files;
    for (const auto &entry : fs::directory_iterator(dir)) {
        if (entry.path().extension() == ".ogg") files.push_back(entry.path().string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::vector<std::uint8_t> read_bytes(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void write_bytes(const std::string &path, const std::vector<std::uint8_t> &bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

scratch_dir::scratch_dir() {
    std::string pattern = (fs::temp_directory_path() / "velmora-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

scratch_dir::~scratch_dir() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}
