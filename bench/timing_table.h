// The side-by-side run: each file decoded by ov_read and by Velmora over its
// three input kinds. Every Velmora output is first compared with ov_read's,
// bit for bit; then each decoder is timed over whole decodes (create to
// free), best of several runs, the runs interleaved so that a slow moment of
// the machine does not fall on one decoder only.
#ifndef VELMORA_BENCH_TIMING_TABLE_H
#define VELMORA_BENCH_TIMING_TABLE_H

#include <string>
#include <vector>

// Prints one table row per file. Returns false when a decoder failed or any
// output differed from ov_read's.
bool print_timing_table(const std::vector<std::string> &files, int runs);

#endif  // VELMORA_BENCH_TIMING_TABLE_H
