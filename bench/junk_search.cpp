// What junk costs the search for pages: CPU time of a stream's start (or
// refusal) with junk between its first page and the rest, and of the
// slowest single decoding call with junk between two audio pages. The junk
// is either bytes without a capture pattern, or the pattern recurring every
// few bytes so that each occurrence claims a long false page that libogg
// checksums. Usage: junk_search STREAM.ogg
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "velmora.h"

namespace {

using bytes = std::vector<unsigned char>;

double thread_cpu_seconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// The offset where page number `index` begins (pages counted from 0).
std::size_t page_offset(const bytes &ogg, int index) {
    std::size_t at = 0;
    for (int i = 0; i < index && at + 27 <= ogg.size(); ++i) {
        const unsigned segments = ogg[at + 26];
        std::size_t body = 0;
        for (unsigned s = 0; s < segments; ++s) body += ogg[at + 27 + s];
        at += 27 + segments + body;
    }
    return at;
}

// "OggS" every `period` bytes (0: never), 0xFF elsewhere.
bytes junk(std::size_t size, std::size_t period) {
    bytes out(size, 0xFF);
    if (period != 0)
        for (std::size_t at = 0; at + 4 <= size; at += period) std::memcpy(&out[at], "OggS", 4);
    return out;
}

bytes with_junk_at(const bytes &ogg, std::size_t offset, const bytes &inserted) {
    bytes out(ogg.begin(), ogg.begin() + static_cast<long>(offset));
    out.insert(out.end(), inserted.begin(), inserted.end());
    out.insert(out.end(), ogg.begin() + static_cast<long>(offset), ogg.end());
    return out;
}

struct start_figure {
    int result;
    double seconds;
};

start_figure start(const bytes &ogg) {
    qdx_ogg_decoder *d = qdx_ogg_create();
    const double before = thread_cpu_seconds();
    const int result = qdx_ogg_input_memory(d, ogg.data(), static_cast<std::uint32_t>(ogg.size()), 0);
    const double seconds = thread_cpu_seconds() - before;
    qdx_ogg_free(d);
    return {result, seconds};
}

struct decode_figure {
    double slowest_call;
    double total;
    long bytes_out;
};

decode_figure decode(const bytes &ogg) {
    static unsigned char buffer[4096 + QDX_OGG_MAX_OVERRUN];
    qdx_ogg_decoder *d = qdx_ogg_create();
    decode_figure f{0, 0, 0};
    if (qdx_ogg_input_memory(d, ogg.data(), static_cast<std::uint32_t>(ogg.size()), 0) == 0) {
        while (!qdx_ogg_eof(d)) {
            const double before = thread_cpu_seconds();
            f.bytes_out += qdx_ogg_process_frame(d, buffer, 4096);
            const double seconds = thread_cpu_seconds() - before;
            f.slowest_call = std::max(f.slowest_call, seconds);
            f.total += seconds;
        }
    }
    qdx_ogg_free(d);
    return f;
}

const char *kind_of(std::size_t period) { return period == 0 ? "0xFF, no pattern" : "pattern"; }

}  // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: junk_search STREAM.ogg\n");
        return 2;
    }
    std::ifstream file(argv[1], std::ios::binary);
    const bytes ogg{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    if (ogg.empty()) {
        std::fprintf(stderr, "junk_search: cannot read %s\n", argv[1]);
        return 1;
    }
    const std::size_t periods[] = {0, 5, 7, 8, 32, 300};
    const std::size_t after_first_page = page_offset(ogg, 1);
    std::printf("start with 4 MiB of junk after the first page (CPU seconds, best of 3)\n");
    std::printf("%-18s %6s %8s %10s\n", "junk", "period", "result", "seconds");
    for (std::size_t period : periods) {
        const bytes input = with_junk_at(ogg, after_first_page, junk(4u << 20, period));
        start_figure best{0, 1e9};
        for (int run = 0; run < 3; ++run) {
            const start_figure f = start(input);
            if (f.seconds < best.seconds) best = f;
        }
        std::printf("%-18s %6zu %8d %10.4f\n", kind_of(period), period, best.result, best.seconds);
    }
    const std::size_t mid_stream = page_offset(ogg, 6);
    const decode_figure clean = decode(ogg);
    std::printf("\ndecoding with 1 MiB of junk after page 6, 4096-byte calls (CPU seconds)\n");
    std::printf("%-18s %6s %12s %10s %12s\n", "junk", "period", "slowest call", "total", "PCM bytes");
    std::printf("%-18s %6s %12.4f %10.4f %12ld\n", "none", "-", clean.slowest_call, clean.total, clean.bytes_out);
    for (std::size_t period : periods) {
        const decode_figure f = decode(with_junk_at(ogg, mid_stream, junk(1u << 20, period)));
        std::printf("%-18s %6zu %12.4f %10.4f %12ld\n", kind_of(period), period, f.slowest_call, f.total,
                    f.bytes_out);
    }
    return 0;
}
