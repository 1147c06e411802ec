#include "timing_table.h"

#include <cstdio>
#include <utility>
#include <vector>

#include "best_times.h"
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
    best_times best[CONTENDER_COUNT];
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
    discard_sink discard;
    for (int run = 0; run < runs; ++run) {
        for (int i = 0; i < CONTENDER_COUNT; ++i)
            time_once([&] { decode(CONTENDERS[i], block, discard); }, row.best[i]);
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
    const double ovread = row.best[0].wall;
    std::printf("| %s | %d | %ld | %.2f | %.3f (%.0f) |", base_name(path), row.reference.channels,
                row.reference.rate, audio, ovread, audio / ovread);
    for (int i = 1; i < CONTENDER_COUNT; ++i) {
        const double s = row.best[i].wall;
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

void print_cpu_table(const std::vector<std::pair<std::string, file_row>> &rows) {
    std::printf("\nCPU time of the decoding thread, best of the same runs:\n\n");
    std::printf("| file | ov_read s | Velmora memory s | ratio | Velmora read s | ratio |"
                " Velmora mapped s | ratio |\n");
    std::printf("|---|---|---|---|---|---|---|---|\n");
    for (const auto &[path, row] : rows) {
        const double ovread = row.best[0].cpu;
        std::printf("| %s | %.3f |", base_name(path), ovread);
        for (int i = 1; i < CONTENDER_COUNT; ++i) {
            std::printf(" %.3f | %.3f |", row.best[i].cpu, row.best[i].cpu / ovread);
        }
        std::printf("\n");
    }
}

// Against ov_read of the reference Tremor (no speed patches), where the
// build has it: what the patches and the library save together. Velmora's
// PCM must equal that Tremor's too.
bool print_against_reference(const std::vector<std::string> &files, int runs,
                             const ivorbisfile_calls &reference) {
    std::printf("\nAgainst ov_read of Tremor without the speed patches (the tests' reference"
                " Tremor), in interleaved runs of their own, best of %d; wall (CPU) seconds:\n\n", runs);
    std::printf("| file | unpatched ov_read s | ov_read s | ratio | Velmora memory s | ratio |"
                " PCM vs unpatched |\n");
    std::printf("|---|---|---|---|---|---|---|\n");
    bool all_good = true;
    for (const std::string &path : files) {
        const input_block block(path);
        if (!block.ok()) continue;
        collect_sink reference_pcm;
        const decode_outcome expected = decode_with_ovread(block, reference_pcm, reference);
        compare_sink compare(reference_pcm.kept);
        const decode_outcome got = decode_with_velmora(velmora_input::memory, block, compare);
        const bool identical = expected.started && got.started && got.finished && compare.identical();
        all_good &= identical;
        best_times unpatched, patched, velmora;
        discard_sink discard;
        for (int run = 0; run < runs; ++run) {
            time_once([&] { decode_with_ovread(block, discard, reference); }, unpatched);
            time_once([&] { decode_with_ovread(block, discard); }, patched);
            time_once([&] { decode_with_velmora(velmora_input::memory, block, discard); }, velmora);
        }
        std::printf("| %s | %.3f (%.3f) | %.3f (%.3f) | %.3f (%.3f) | %.3f (%.3f) | %.3f (%.3f) | %s |\n",
                    base_name(path), unpatched.wall, unpatched.cpu, patched.wall, patched.cpu,
                    patched.wall / unpatched.wall, patched.cpu / unpatched.cpu, velmora.wall, velmora.cpu,
                    velmora.wall / unpatched.wall, velmora.cpu / unpatched.cpu,
                    identical ? "identical" : "DIFFERS");
        std::fflush(stdout);
    }
    return all_good;
}

}  // namespace

bool print_timing_table(const std::vector<std::string> &files, int runs) {
    print_header(runs);
    bool all_good = true;
    std::vector<std::pair<std::string, file_row>> timed;
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
        timed.emplace_back(path, row);
        all_good &= verified;
    }
    print_cpu_table(timed);
    if (const ivorbisfile_calls *reference = reference_tremor())
        all_good &= print_against_reference(files, runs, *reference);
    return all_good;
}
