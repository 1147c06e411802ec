// Prints, for each setup header in the Ogg files named, what the setup check
// works out that Tremor will take for it (core/setup_costs.h), and whether
// the check passes it: the figures behind the limits of core/setup_limits.h.
// One line per logical stream:
//   FILE SERIAL walked|unreadable ENTRIES VALUES LOOKUP_HEAP SORT_STACK RESIDUE0_STACK within|over
#include <ogg/ogg.h>
#include <tremor/ivorbiscodec.h>

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

#include "core/setup_check.h"

namespace {

// One logical stream's first three packets, as they come.
struct header_reader {
    ogg_stream_state stream;
    vorbis_info info;
    vorbis_comment comment;
    int headers = 0;
    bool done = false;

    explicit header_reader(int serial) {
        ogg_stream_init(&stream, serial);
        vorbis_info_init(&info);
        vorbis_comment_init(&comment);
    }
    ~header_reader() {
        vorbis_comment_clear(&comment);
        vorbis_info_clear(&info);
        ogg_stream_clear(&stream);
    }

    void take(const char *file, ogg_page &page) {
        if (done || ogg_stream_pagein(&stream, &page) != 0) return;
        ogg_packet packet;
        while (!done && ogg_stream_packetout(&stream, &packet) == 1) {
            if (headers++ < 2) {
                if (vorbis_synthesis_headerin(&info, &comment, &packet) < 0) done = true;
                continue;
            }
            report(file, packet);
            done = true;
        }
    }

    void report(const char *file, ogg_packet &setup) {
        setup_costs costs;
        const bool walked = measure_setup(setup, info, costs);
        std::printf("%s %ld %s %ld %ld %" PRIu64 " %" PRIu64 " %" PRIu64 " %s\n", file, stream.serialno,
                    walked ? "walked" : "unreadable", costs.entries, costs.values, costs.lookup_heap,
                    costs.sort_stack, costs.residue0_stack,
                    walked && setup_costs_within_limits(costs) ? "within" : "over");
    }
};

void measure_file(const char *file) {
    std::ifstream in(file, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ogg_sync_state sync;
    ogg_sync_init(&sync);
    char *buffer = ogg_sync_buffer(&sync, static_cast<long>(bytes.size()));
    std::copy(bytes.begin(), bytes.end(), buffer);
    ogg_sync_wrote(&sync, static_cast<long>(bytes.size()));
    std::vector<header_reader *> streams;
    ogg_page page;
    for (int got; (got = ogg_sync_pageout(&sync, &page)) != 0;) {
        if (got < 0) continue;
        if (ogg_page_bos(&page)) streams.push_back(new header_reader(ogg_page_serialno(&page)));
        if (!streams.empty()) streams.back()->take(file, page);
    }
    for (header_reader *s : streams) delete s;
    ogg_sync_clear(&sync);
}

}  // namespace

int main(int argc, char **argv) {
    for (int i = 1; i < argc; ++i) measure_file(argv[i]);
    return 0;
}
