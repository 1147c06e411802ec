// Many decoders of one stream held at once, as a game holds its sounds: each
// is created, attached to the stream in memory and decoded for a second, and
// all stay alive together before they are freed. Under massif the peak less
// the program's own heap (--count 0), divided by the count, is what one
// decoder costs while it plays (bench/heap_parts.sh).
//
// Usage: heap_held --decoder velmora|ovread --count N FILE
#include <tremor/ivorbiscodec.h>
#include <tremor/ivorbisfile.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "decode_outcome.h"
#include "input_block.h"
#include "velmora.h"

namespace {

alignas(16) std::uint8_t host_buffer[HOST_CALL_BYTES + QDX_OGG_MAX_OVERRUN];

// Calls enough to decode about a second of 44.1 kHz stereo, and then some:
// every buffer a decoder grows while it plays has grown.
constexpr int CALLS_PER_DECODER = 64;

class velmora_player {
public:
    explicit velmora_player(const input_block &block) : d_(qdx_ogg_create()) {
        if (d_ == nullptr ||
            qdx_ogg_input_memory(d_, block.bytes(), static_cast<std::uint32_t>(block.size()), 0) != 0) {
            std::fprintf(stderr, "heap_held: Velmora refused %s\n", block.path().c_str());
            std::exit(1);
        }
        for (int i = 0; i < CALLS_PER_DECODER && !qdx_ogg_eof(d_); ++i) {
            qdx_ogg_process_frame(d_, host_buffer, HOST_CALL_BYTES);
        }
    }
    ~velmora_player() { qdx_ogg_free(d_); }
    velmora_player(const velmora_player &) = delete;
    velmora_player &operator=(const velmora_player &) = delete;

private:
    qdx_ogg_decoder *d_;
};

// ov_read over the same block through callbacks without seeking, its state
// on the heap as a player keeps it.
class ovread_player {
public:
    explicit ovread_player(const input_block &block) : block_(block), file_(std::make_unique<OggVorbis_File>()) {
        const ov_callbacks unseekable{read_block, nullptr, nullptr, nullptr};
        if (ov_open_callbacks(this, file_.get(), nullptr, 0, unseekable) != 0) {
            std::fprintf(stderr, "heap_held: ov_open refused %s\n", block.path().c_str());
            std::exit(1);
        }
        int link = 0;
        for (int i = 0; i < CALLS_PER_DECODER; ++i) {
            if (ov_read(file_.get(), reinterpret_cast<char *>(host_buffer), HOST_CALL_BYTES, &link) == 0) break;
        }
    }
    ~ovread_player() { ov_clear(file_.get()); }
    ovread_player(const ovread_player &) = delete;
    ovread_player &operator=(const ovread_player &) = delete;

private:
    static size_t read_block(void *into, size_t size, size_t count, void *source) {
        auto *self = static_cast<ovread_player *>(source);
        if (size == 0) return 0;
        const std::size_t n = std::min(size * count, self->block_.size() - self->position_);
        std::memcpy(into, self->block_.bytes() + self->position_, n);
        self->position_ += n;
        return n / size;
    }
    const input_block &block_;
    std::size_t position_ = 0;
    std::unique_ptr<OggVorbis_File> file_;
};

template <typename Player>
void hold(const input_block &block, int count) {
    std::vector<std::unique_ptr<Player>> players;
    players.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) players.push_back(std::make_unique<Player>(block));
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 6 || std::strcmp(argv[1], "--decoder") != 0 || std::strcmp(argv[3], "--count") != 0) {
        std::fprintf(stderr, "usage: heap_held --decoder velmora|ovread --count N FILE\n");
        return 2;
    }
    const std::string decoder = argv[2];
    const int count = std::atoi(argv[4]);
    const input_block block(argv[5]);
    if (!block.ok() || count < 0) return 2;
    // Printing first makes the C library set up its output buffer now, the
    // same in every run.
    std::printf("decoder=%s count=%d file=%s\n", decoder.c_str(), count, argv[5]);
    std::fflush(stdout);
    if (decoder == "velmora") hold<velmora_player>(block, count);
    else if (decoder == "ovread") hold<ovread_player>(block, count);
    else return 2;
    return 0;
}
