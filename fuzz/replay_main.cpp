// Runs a fuzz target over saved inputs without libFuzzer, so the ordinary
// test run covers the seed corpus and every regression input.
//
//   NAME_replay [--if-present] PATH...
//
// Each PATH is a file or a folder (searched recursively, in name order).
// With --if-present, folders that do not exist are skipped, and a run that
// finds no input at all exits with 77, which ctest reports as skipped.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size);

namespace {

constexpr int SKIPPED = 77;

void collect(const fs::path &path, std::vector<fs::path> *inputs) {
    if (fs::is_regular_file(path)) {
        inputs->push_back(path);
        return;
    }
    std::vector<fs::path> found;
    for (const auto &entry : fs::recursive_directory_iterator(path)) {
        const std::string name = entry.path().filename().string();
        if (entry.is_regular_file() && name[0] != '.' && name != "README.md") found.push_back(entry.path());
    }
    std::sort(found.begin(), found.end());
    inputs->insert(inputs->end(), found.begin(), found.end());
}

bool replay(const fs::path &path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "cannot read %s\n", path.c_str());
        return false;
    }
    const std::vector<std::uint8_t> bytes(std::istreambuf_iterator<char>(in), {});
    std::fprintf(stderr, "replaying %s (%zu bytes)\n", path.c_str(), bytes.size());
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    return true;
}

}  // namespace

int main(int argc, char **argv) {
    bool if_present = false;
    std::vector<fs::path> inputs;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--if-present") == 0) {
            if_present = true;
        } else if (fs::exists(argv[i])) {
            collect(argv[i], &inputs);
        } else if (if_present) {
            std::printf("skipped: %s is absent\n", argv[i]);
        } else {
            std::fprintf(stderr, "no such input: %s\n", argv[i]);
            return 1;
        }
    }
    if (inputs.empty()) {
        std::printf("no inputs to replay\n");
        return if_present ? SKIPPED : 1;
    }
    for (const fs::path &input : inputs) {
        if (!replay(input)) return 1;
    }
    std::printf("replayed %zu inputs, no broken promise\n", inputs.size());
    return 0;
}
