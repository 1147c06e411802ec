#include "bench_options.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

void print_usage() {
    std::fprintf(stderr,
                 "usage: velmora_bench [--runs N] FILE...\n"
                 "       velmora_bench --decoder velmora|ovread|none"
                 " [--input memory|read|mapped] [--runs N] [--pcm OUT.raw] FILE\n");
}

bool parse_decoder(const char *word, bench_decoder &decoder) {
    if (std::strcmp(word, "velmora") == 0) decoder = bench_decoder::velmora;
    else if (std::strcmp(word, "ovread") == 0) decoder = bench_decoder::ovread;
    else if (std::strcmp(word, "none") == 0) decoder = bench_decoder::none;
    else return false;
    return true;
}

bool parse_input(const char *word, velmora_input &input) {
    if (std::strcmp(word, "memory") == 0) input = velmora_input::memory;
    else if (std::strcmp(word, "read") == 0) input = velmora_input::read;
    else if (std::strcmp(word, "mapped") == 0) input = velmora_input::mapped;
    else return false;
    return true;
}

bool check_consistency(const bench_options &options) {
    if (options.files.empty()) return false;
    if (!options.single) return options.pcm_path.empty();
    if (options.files.size() != 1) return false;
    return options.decoder != bench_decoder::ovread || options.input == velmora_input::memory;
}

}  // namespace

bool parse_bench_options(int argc, char **argv, bench_options &options) {
    for (int i = 1; i < argc; ++i) {
        const char *arg = argv[i];
        const bool has_value = i + 1 < argc;
        bool ok = true;
        if (std::strcmp(arg, "--runs") == 0 && has_value) {
            options.runs = std::atoi(argv[++i]);
            ok = options.runs >= 1;
        } else if (std::strcmp(arg, "--decoder") == 0 && has_value) {
            options.single = true;
            ok = parse_decoder(argv[++i], options.decoder);
        } else if (std::strcmp(arg, "--pcm") == 0 && has_value) {
            options.pcm_path = argv[++i];
        } else if (std::strcmp(arg, "--input") == 0 && has_value) {
            ok = parse_input(argv[++i], options.input);
        } else if (arg[0] == '-') {
            ok = false;
        } else {
            options.files.emplace_back(arg);
        }
        if (!ok) {
            print_usage();
            return false;
        }
    }
    if (!check_consistency(options)) {
        print_usage();
        return false;
    }
    return true;
}
