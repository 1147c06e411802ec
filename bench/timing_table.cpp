#include "timing_table.h"

#include <chrono>
#include <cstdio>
#include <limits>

#include "ovread_decode.h"
#include "velmora_decode.h"

namespace {

// One column of the table: ov_read, or Velmora over one input kind.
struct contender {
    bool is_ovread;
    velmora_input input;
};

constexpr contender CONTENDERS[] = {
    {true, velmora_input::memory},
    {false, velmora_input::memory},
    {false, velmora_input::read},
    {false, velmora_input::mapped},
};
constexpr int CONTENDER_COUNT = sizeof CONTENDERS / sizeof CONTENDERS[0];

decode_outcome decode(const contender &c, const input_block &block, pcm_sink &sink) {
    return c.is_ovread ? decode_with_ovread(block, sink)
                       : decode_with_velmora(c.input, block, sink);
}

struct file_row {
    decode_outcome reference;
    bool all_ok = true;
    bool identical[CONTENDER_COUNT] = {};
    double best_seconds[CONTENDER_COUNT] = {};
};

// ov_read's PCM is the reference; each Velmora input must reproduce it.
bool verify(const input_block &block, file_row &row) {
    collect_sink reference_pcm;
    row.reference = decode(CONTENDERS[0], block, reference_pcm);
    if (!row.reference.started || !row.reference.finished) return false;
    row.identical[0] = true;
    bool all_identical = true;
    for (int i = 1; i < CONTENDER_COUNT; ++i) {
        compare_sink compare(reference_pcm.kept);
        const decode_outcome got = decode(CONTENDERS[i], block, compare);
        row.identical[i] = got.started && got.finished && compare.identical() &&
                           got.channels == row.reference.channels &&
                           got.rate == row.reference.rate;
        all_identical &= row.identical[i];
    }
    return all_identical;
}

void time_all(const input_block &block, int runs, file_row &row) {
    for (double &best : row.best_seconds) best = std::numeric_limits<double>::max();
    discard_sink discard;
    for (int run = 0; run < runs; ++run) {
        for (int i = 0; i < CONTENDER_COUNT; ++i) {
            const auto start = std::chrono::steady_clock::now();
            decode(CONTENDERS[i], block, discard);
            const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
            if (took.count() < row.best_seconds[i]) row.best_seconds[i] = took.count();
        }
    }
}

const char *base_name(const std::string &path) {
    const std::size_t slash = path.find_last_of('/');
    return path.c_str() + (slash == std::string::npos ? 0 : slash + 1);
}

void print_header(int runs) {
    std::printf("Wall time of a whole decode, best of %d runs; xRT = seconds of audio per"
                " second of decoding; ratio = Velmora / ov_read.\n\n", runs);
    std::printf("| file | ch | Hz | audio s | ov_read s (xRT) | Velmora memory s (xRT) | ratio |"
                " Velmora read s (xRT) | ratio | Velmora mapped s (xRT) | ratio | PCM vs ov_read |\n");
    std::printf("|---|---|---|---|---|---|---|---|---|---|---|---|\n");
}

void print_row(const std::string &path, const file_row &row) {
    const double audio = row.reference.audio_seconds();
    const double ovread = row.best_seconds[0];
    std::printf("| %s | %d | %ld | %.2f | %.3f (%.0f) |", base_name(path), row.reference.channels,
                row.reference.rate, audio, ovread, audio / ovread);
    for (int i = 1; i < CONTENDER_COUNT; ++i) {
        const double s = row.best_seconds[i];
        std::printf(" %.3f (%.0f) | %.3f |", s, audio / s, s / ovread);
    }
    bool identical = true;
    for (bool same : row.identical) identical &= same;
    if (identical) {
        std::printf(" identical |\n");
    } else {
        std::printf(" DIFFERS:");
        for (int i = 1; i < CONTENDER_COUNT; ++i) {
            if (!row.identical[i]) std::printf(" %s", velmora_input_name(CONTENDERS[i].input));
        }
        std::printf(" |\n");
    }
    std::fflush(stdout);
}

}  // namespace

bool print_timing_table(const std::vector<std::string> &files, int runs) {
    print_header(runs);
    bool all_good = true;
    for (const std::string &path : files) {
        const input_block block(path);
        if (!block.ok()) {
            std::printf("| %s | cannot be read |\n", base_name(path));
            all_good = false;
            continue;
        }
        file_row row;
        const bool verified = verify(block, row);
        if (!row.reference.started) {
            std::printf("| %s | ov_read refuses the stream |\n", base_name(path));
            all_good = false;
            continue;
        }
        time_all(block, runs, row);
        print_row(path, row);
        all_good &= verified;
    }
    return all_good;
}
