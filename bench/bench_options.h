// The benchmark's command line.
//
//   velmora_bench [--runs N] FILE...
//       Timing table: every file decoded by ov_read and by Velmora over each
//       input kind, outputs compared, best of N runs (default 5) timed.
//   velmora_bench --decoder velmora|ovread|none [--input memory|read|mapped]
//                 [--runs N] [--pcm OUT.raw] FILE
//       One decode of one file by one decoder, for callgrind and massif
//       (ovread reads memory only; none loads the file and decodes nothing,
//       to measure the benchmark's own baseline). --runs N decodes N times
//       and prints the best wall and CPU times; --pcm writes the PCM of one more
//       decode, after the measured ones, to OUT.raw.
#ifndef VELMORA_BENCH_OPTIONS_H
#define VELMORA_BENCH_OPTIONS_H

#include <string>
#include <vector>

#include "velmora_decode.h"

enum class bench_decoder { velmora, ovread, none };

struct bench_options {
    bool single = false;  // --decoder given: one decode, no table
    bench_decoder decoder = bench_decoder::velmora;
    velmora_input input = velmora_input::memory;
    int runs = 0;  // 0: not given (the table then takes 5, a single decode 1)
    std::string pcm_path;  // --pcm: where a single decode's PCM goes
    std::vector<std::string> files;
};

// Fills options from argv; on a usage error prints why and returns false.
bool parse_bench_options(int argc, char **argv, bench_options &options);

#endif  // VELMORA_BENCH_OPTIONS_H
