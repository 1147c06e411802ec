// Fuzz target: a stream whose setup header is well formed at the bit level
// and hostile in its values (setup_header_stream.h), attached through one of
// the source kinds and decoded to the end, maybe replayed, on a thread with a
// small stack, with the heap the decoder holds watched against its budget.
//
// An input that already is an Ogg stream (it starts with "OggS") is decoded
// as it is, under the same watch: so a finding is kept as the plain stream
// it made, which every target replays and which means the same whatever the
// generator later becomes.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "velmora.h"
#include "fuzz/checked_decode.h"
#include "fuzz/fuzz_failure.h"
#include "fuzz/fuzz_script.h"
#include "fuzz/heap_watch.h"
#include "fuzz/session_files.h"
#include "fuzz/setup_header_stream.h"
#include "fuzz/small_stack_thread.h"

namespace {

// The decoding thread's stack: about twice what the seeds need, and less
// than the large stack uses a build must not make. Under AddressSanitizer
// the patched Tremor decodes every seed in 16 KiB (12 KiB is too little), so
// 32 KiB, below residue type 0's per-partition scratch (up to 64 KiB) and
// any codebook sorted on the stack. Debian's packaged Tremor, not
// instrumented, needs up to 49 KiB for real streams (it sorts each codebook
// on the stack, 12 bytes an entry), so 128 KiB there: a sort of more than
// about 10 000 entries still faults. VELMORA_FUZZ_STACK_KIB overrides it.
#if defined(VELMORA_TREMOR_PATCHED)
constexpr std::size_t STACK_KIB = 32;
#else
constexpr std::size_t STACK_KIB = 128;
#endif

// What a decoder may hold, in MiB. The patched Tremor and libogg keep to
// the heap budget per decoder (VELMORA_DECODER_HEAP_BUDGET, 48 MiB unless
// the build says otherwise); outside it lie the record, the sync layer's
// chunks, the stream layer's copy of the setup header (at most 512 KiB, a
// page and libogg's growth) and this target's output buffer: 4 MiB for
// those. Debian's packaged Tremor has no budget: the setup check bounds what
// it builds (a start within the codebook limits peaks at about 17 MB, the
// look-ups take 2 MiB more), so 24 MiB there.
#if defined(VELMORA_TREMOR_PATCHED) && defined(VELMORA_DECODER_HEAP_BUDGET)
constexpr long long HEAP_MIB = (VELMORA_DECODER_HEAP_BUDGET >> 20) + 4;
#else
constexpr long long HEAP_MIB = 24;
#endif

std::size_t env_or(const char *name, std::size_t otherwise) {
    const char *value = std::getenv(name);
    return value != nullptr ? std::strtoull(value, nullptr, 10) : otherwise;
}

enum class kind { memory, memory_split, read_file, mapped_file };

struct decode_job {
    std::vector<std::uint8_t> stream;
    fuzz_script *script;
};

std::int32_t attach(qdx_ogg_decoder *d, const std::vector<std::uint8_t> &stream, fuzz_script &script,
                    kind source) {
    const std::uint32_t size = static_cast<std::uint32_t>(stream.size());
    switch (source) {
        case kind::memory: return qdx_ogg_input_memory(d, stream.data(), size, 0);
        case kind::memory_split: {
            const std::uint32_t split = size == 0 ? 0 : script.u16() % size;
            return qdx_ogg_input_memory2(d, stream.data(), split, stream.data() + split, size - split, 0);
        }
        case kind::read_file:
            session_files::instance().write(0, stream.data(), stream.size());
            return qdx_ogg_input_file_open(d, session_files::instance().path(0).c_str(), 0, 0);
        case kind::mapped_file:
            session_files::instance().write(0, stream.data(), stream.size());
            return qdx_ogg_input_file_map(d, session_files::instance().path(0).c_str(), 0, 0);
    }
    return 1;
}

void decode(void *argument) {
    decode_job &job = *static_cast<decode_job *>(argument);
    fuzz_script &script = *job.script;
    length_pattern lengths(script);
    const bool replay = script.flag();
    checked_calls calls;
    heap_watch::start(static_cast<long long>(env_or("VELMORA_FUZZ_HEAP_MIB", HEAP_MIB)) << 20);
    qdx_ogg_decoder *d = qdx_ogg_create();
    fuzz_require(d != nullptr, "create failed without a fault");
    const kind source = static_cast<kind>(script.pick(8) % 4);
    const std::int32_t started = attach(d, job.stream, script, source);
    fuzz_require(started == 0 || started == 1, "input returned an undocumented result", started);
    if (std::getenv("VELMORA_FUZZ_TRACE") != nullptr)
        std::fprintf(stderr, "setup header: source %d, start %d\n", static_cast<int>(source), started);
    if (started == 0) {
        calls.decode_to_end(d, lengths, job.stream.size() + 2 * 8192);
        if (replay) {
            // A replay restarts the stream that started, except with two
            // blocks: it restarts the second, cut from the middle of the
            // stream, which may not start. Then it must say so and play nothing.
            const std::int32_t restarted = qdx_ogg_replay(d);
            if (source != kind::memory_split)
                fuzz_require(restarted == 0, "replay of a running decoder failed", restarted);
            fuzz_require(restarted == 0 || restarted == 1, "replay returned an undocumented result", restarted);
            if (restarted == 0) {
                calls.decode_to_end(d, lengths, job.stream.size() + 2 * 8192);
            } else {
                fuzz_require(calls.decode(d, lengths.next()) == 0, "a failed replay decoded PCM");
                fuzz_require(qdx_ogg_eof(d) == 1, "a failed replay left the decoder not at its end");
            }
        }
    } else {
        fuzz_require(calls.decode(d, lengths.next()) == 0, "a refused stream decoded PCM");
    }
    qdx_ogg_free(d);
    heap_watch::stop();
}

bool is_ogg_stream(const std::uint8_t *data, std::size_t size) {
    return size >= 4 && std::memcmp(data, "OggS", 4) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size > (1u << 24)) return 0;
    fuzz_script script(data, size);
    decode_job job{is_ogg_stream(data, size) ? std::vector<std::uint8_t>(data, data + size)
                                             : make_setup_header_stream(data, size),
                   &script};
    small_stack_thread::instance(env_or("VELMORA_FUZZ_STACK_KIB", STACK_KIB) << 10).run(decode, &job);
    return 0;
}
