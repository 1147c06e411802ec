// Velmora against Tremor's ov_read: a timing table over many files, or one
// decode by one decoder for callgrind and massif (see bench_options.h).
#include <cstdio>

#include "bench_options.h"
#include "best_times.h"
#include "ovread_decode.h"
#include "timing_table.h"
#include "velmora_decode.h"

namespace {

const char *decoder_name(bench_decoder decoder) {
    switch (decoder) {
        case bench_decoder::velmora: return "velmora";
        case bench_decoder::ovread: return "ovread";
        case bench_decoder::none: return "none";
    }
    return "?";
}

}  // namespace

// Everything a profile should count happens inside this function, from the
// decoder's creation to its release, and nothing else does: run.sh points
// callgrind's --toggle-collect at its name. Loading the file stays outside.
__attribute__((noinline)) decode_outcome measured_decode(const bench_options &options,
                                                         const input_block &block, pcm_sink &sink) {
    switch (options.decoder) {
        case bench_decoder::velmora: return decode_with_velmora(options.input, block, sink);
        case bench_decoder::ovread: return decode_with_ovread(block, sink);
        case bench_decoder::none: break;
    }
    return decode_outcome{true, true, 0, 0, 0};
}

namespace {

// Writes one more decode's PCM to options.pcm_path; false on any failure.
bool write_pcm(const bench_options &options, const input_block &block) {
    std::FILE *file = std::fopen(options.pcm_path.c_str(), "wb");
    if (!file) return false;
    file_sink sink(file);
    const decode_outcome outcome = measured_decode(options, block, sink);
    const bool closed = std::fclose(file) == 0;
    return outcome.finished && !sink.failed() && closed;
}

int run_single(const bench_options &options) {
    const input_block block(options.files[0]);
    if (!block.ok()) {
        std::fprintf(stderr, "velmora_bench: cannot read %s\n", options.files[0].c_str());
        return 1;
    }
    // Printing before the decode makes the C library set up its output buffer
    // now, so the heap outside the decode is the same in every mode.
    std::printf("decoder=%s input=%s file=%s\n", decoder_name(options.decoder),
                velmora_input_name(options.input), options.files[0].c_str());
    std::fflush(stdout);
    discard_sink discard;
    decode_outcome outcome;
    best_times best;
    const int runs = options.runs > 0 ? options.runs : 1;
    for (int run = 0; run < runs; ++run)
        time_once([&] { outcome = measured_decode(options, block, discard); }, best);
    std::printf("channels=%d rate=%ld pcm_bytes=%llu audio_seconds=%.3f\n",
                outcome.channels, outcome.rate,
                static_cast<unsigned long long>(outcome.bytes), outcome.audio_seconds());
    if (options.runs > 0)
        std::printf("runs=%d best_seconds=%.6f best_cpu_seconds=%.6f\n", runs, best.wall, best.cpu);
    if (!options.pcm_path.empty() && !write_pcm(options, block)) {
        std::fprintf(stderr, "velmora_bench: cannot write the PCM to %s\n", options.pcm_path.c_str());
        return 1;
    }
    return outcome.started && outcome.finished ? 0 : 1;
}

}  // namespace

int main(int argc, char **argv) {
    bench_options options;
    if (!parse_bench_options(argc, argv, options)) return 2;
    if (options.single) return run_single(options);
    return print_timing_table(options.files, options.runs > 0 ? options.runs : 5) ? 0 : 1;
}
