// Writes the stream fuzz_setup_header makes of an input, so a finding can be
// kept as a plain Ogg file that every fuzz target replays.
//
//   write_setup_stream INPUT OUTPUT
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

#include "fuzz/setup_header_stream.h"

int main(int argc, char **argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s INPUT OUTPUT\n", argv[0]);
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    const std::vector<std::uint8_t> input(std::istreambuf_iterator<char>(in), {});
    const std::vector<std::uint8_t> stream = make_setup_header_stream(input.data(), input.size());
    std::ofstream out(argv[2], std::ios::binary);
    out.write(reinterpret_cast<const char *>(stream.data()), static_cast<std::streamsize>(stream.size()));
    return out ? 0 : 1;
}
