// Fuzz target: a whole host session driven by the input. The input, its page
// checksums re-stamped, is the stream; its last bytes choose the source kind
// (memory, read file, mapped file), one or two sources with their start
// offsets, lengths and ends, and then a run of decoding calls, decodes to the
// end, replays, suspends, resumes, files changed while suspended and inputs
// attached again. Every result is checked against what velmora.h documents,
// and after free no descriptor or mapping may be left.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "velmora.h"
#include "fuzz/checked_decode.h"
#include "fuzz/fuzz_failure.h"
#include "fuzz/fuzz_script.h"
#include "fuzz/page_checksums.h"
#include "fuzz/session_files.h"

namespace {

// VELMORA_FUZZ_TRACE=1 prints the session's steps, to read a reproducer.
void trace(const char *what, long long value = 0) {
    static const bool tracing = std::getenv("VELMORA_FUZZ_TRACE") != nullptr;
    if (tracing) std::fprintf(stderr, "session: %s %lld\n", what, value);
}

enum class kind { memory, read_file, mapped_file };

// Where one source begins and ends, as the input function takes it: for
// memory a block inside the stream, for a read file a start and a length,
// for a mapped file a start and an absolute end.
struct source_plan {
    std::uint32_t start;
    std::uint32_t bound;
};

std::uint32_t pick_start(fuzz_script &script, std::uint32_t size) {
    switch (script.pick(4)) {
        case 0: return 0;
        case 1: return script.byte();
        case 2: return script.u16() % (size + 1);
        default: return size + script.byte();  // at or past the end
    }
}

std::uint32_t pick_bound(fuzz_script &script, std::uint32_t size, std::uint32_t start) {
    switch (script.pick(4)) {
        case 0: return 0;  // up to the end
        case 1: return start < size ? size - start : 1;
        case 2: return script.u16();
        default: return 0xFFFFFFFFu - script.byte();
    }
}

class host_session {
public:
    host_session(std::vector<std::uint8_t> stream, fuzz_script &script)
        : stream_(std::move(stream)), script_(script), lengths_(script) {
        const std::uint32_t size = static_cast<std::uint32_t>(stream_.size());
        kind_ = static_cast<kind>(script.pick(3));
        two_sources_ = script.flag();
        owns_blocks_ = script.flag();
        for (source_plan &plan : plans_) {
            plan.start = pick_start(script, size);
            plan.bound = pick_bound(script, size, plan.start);
        }
    }

    void run();
    bool maps_files() const { return kind_ == kind::mapped_file; }

private:
    bool uses_files() const { return kind_ != kind::memory; }
    std::int32_t attach();
    std::int32_t attach_memory();
    const void *memory_block(const source_plan &plan, std::uint32_t *size) const;
    void write_files();
    void step(std::uint32_t op);
    void decode_one();
    void decode_to_end();
    void replay();
    void suspend();
    void resume();
    void change_file();
    void check_queries();

    std::vector<std::uint8_t> stream_;
    fuzz_script &script_;
    length_pattern lengths_;
    checked_calls calls_;
    kind kind_;
    bool two_sources_;
    bool owns_blocks_;
    source_plan plans_[2];
    qdx_ogg_decoder *d_ = nullptr;
    bool suspended_ = false;
    bool started_ = false;        // the last input started its stream
    bool replayed_ = false;       // a replay ran since: the stream may or may not run
    bool files_changed_ = false;  // a file was cut, emptied or removed while suspended
};

const void *host_session::memory_block(const source_plan &plan, std::uint32_t *size) const {
    const std::uint32_t total = static_cast<std::uint32_t>(stream_.size());
    const std::uint32_t start = std::min(plan.start, total);
    *size = std::min(plan.bound == 0 ? total : plan.bound, total - start);
    if (!owns_blocks_) return stream_.data() + start;
    void *block = std::malloc(*size == 0 ? 1 : *size);  // the POSIX local heap
    if (*size != 0) std::memcpy(block, stream_.data() + start, *size);
    return block;
}

// A suspended decoder refuses an input and is left unchanged, so it takes no
// block over: the host keeps (and here frees) what it offered.
std::int32_t host_session::attach_memory() {
    std::uint32_t size1 = 0;
    std::uint32_t size2 = 0;
    const void *block1 = memory_block(plans_[0], &size1);
    const void *block2 = two_sources_ ? memory_block(plans_[1], &size2) : nullptr;
    const std::int32_t result = two_sources_
                                    ? qdx_ogg_input_memory2(d_, block1, size1, block2, size2, owns_blocks_)
                                    : qdx_ogg_input_memory(d_, block1, size1, owns_blocks_);
    if (suspended_ && owns_blocks_) {
        std::free(const_cast<void *>(block1));
        std::free(const_cast<void *>(block2));
    }
    return result;
}

std::int32_t host_session::attach() {
    const session_files &files = session_files::instance();
    const char *first = files.path(0).c_str();
    const char *second = files.path(1).c_str();
    const source_plan &a = plans_[0];
    const source_plan &b = plans_[1];
    switch (kind_) {
        case kind::memory: return attach_memory();
        case kind::read_file:
            return two_sources_
                       ? qdx_ogg_input_file_open2(d_, first, a.start, a.bound, second, b.start, b.bound)
                       : qdx_ogg_input_file_open(d_, first, a.start, a.bound);
        case kind::mapped_file:
            return two_sources_
                       ? qdx_ogg_input_file_map2(d_, first, a.start, a.bound, second, b.start, b.bound)
                       : qdx_ogg_input_file_map(d_, first, a.start, a.bound);
    }
    return -1;
}

void host_session::write_files() {
    const session_files &files = session_files::instance();
    files.write(0, stream_.data(), stream_.size());
    files.write(1, stream_.data(), stream_.size());
    files_changed_ = false;
}

void host_session::decode_one() {
    const std::int32_t length = lengths_.next();
    if (suspended_) {
        calls_.decode_suspended(d_, length);
        return;
    }
    const std::int32_t got = calls_.decode(d_, length);
    fuzz_require(started_ || replayed_ || got == 0, "a decoder whose input failed decoded PCM", got);
}

// The documented host loop: call until eof reports 1.
void host_session::decode_to_end() {
    if (suspended_) return;               // silence until resume; the loop would not end
    if (!started_ && !replayed_) return;  // a host does not decode a refused input
    const std::size_t bytes = stream_.size() + 2 * 8192;
    calls_.decode_to_end(d_, lengths_, bytes);
}

void host_session::replay() {
    const std::int32_t result = qdx_ogg_replay(d_);
    // A running decoder's restart may fail (a file cut short meanwhile): 1.
    const bool documented = suspended_ ? result == -2 : result == 0 || result == 1;
    fuzz_require(documented, "replay returned an undocumented result", result);
    if (!suspended_) replayed_ = true;
}

void host_session::suspend() {
    const std::int32_t result = qdx_ogg_suspend(d_);
    fuzz_require(result == (suspended_ ? -2 : 0), "suspend returned an undocumented result", result);
    suspended_ = true;
}

// -1 only when a mapped file cannot be reopened, which needs a file that was
// cut to nothing or removed while suspended.
void host_session::resume() {
    const std::int32_t result = qdx_ogg_resume(d_);
    if (!suspended_) {
        fuzz_require(result == -2, "resume of a running decoder", result);
        return;
    }
    const bool may_fail = kind_ == kind::mapped_file && files_changed_;
    fuzz_require(result == 0 || (result == -1 && may_fail), "resume returned an undocumented result", result);
    if (result == 0) suspended_ = false;
}

// A host may find its file cut short, emptied or gone after a suspend.
void host_session::change_file() {
    if (!suspended_ || !uses_files()) return;
    const session_files &files = session_files::instance();
    const int which = static_cast<int>(script_.pick(2));
    switch (script_.pick(3)) {
        case 0: files.truncate(which, script_.u16() % (stream_.size() + 1)); break;
        case 1: files.truncate(which, 0); break;
        default: files.remove(which); break;
    }
    files_changed_ = true;
}

void host_session::check_queries() {
    const std::int32_t eof = qdx_ogg_eof(d_);
    fuzz_require(eof == 0 || eof == 1, "eof is not 0 or 1", eof);
    fuzz_require(qdx_ogg_pcm_format(d_) != nullptr, "no format record");
    fuzz_require(qdx_ogg_pcm_size(d_) == 0, "pcm_size is not 0");
}

void host_session::step(std::uint32_t op) {
    static const char *const names[] = {"decode",        "decode",       "decode",  "decode",
                                        "decode to end", "replay",       "suspend", "resume",
                                        "change file",   "attach again", "queries"};
    trace(names[op], qdx_ogg_eof(d_));
    switch (op) {
        case 0:
        case 1:
        case 2:
        case 3: decode_one(); break;
        case 4: decode_to_end(); break;
        case 5: replay(); break;
        case 6: suspend(); break;
        case 7: resume(); break;
        case 8: change_file(); break;
        case 9: {
            // Attaching again: refused while suspended, else releases the old
            // input first.
            const std::int32_t result = attach();
            fuzz_require(suspended_ ? result == 1 : (result == 0 || result == 1),
                         "a second input returned an undocumented result", result);
            if (!suspended_) {
                started_ = result == 0;
                replayed_ = false;
            }
            break;
        }
        default: check_queries(); break;
    }
}

void host_session::run() {
    if (uses_files()) write_files();
    d_ = qdx_ogg_create();
    fuzz_require(d_ != nullptr, "create failed without a fault");
    const std::int32_t result = attach();
    trace(kind_ == kind::memory      ? "memory input"
          : kind_ == kind::read_file ? "read input"
                                     : "mapped input",
          result);
    trace("start 1", plans_[0].start);
    trace("bound 1", plans_[0].bound);
    if (two_sources_) trace("start 2", plans_[1].start);
    if (two_sources_) trace("bound 2", plans_[1].bound);
    fuzz_require(result == 0 || result == 1, "input returned an undocumented result", result);
    started_ = result == 0;
    for (int i = 0; i < 48 && !script_.exhausted(); ++i) step(script_.pick(11));
    if (!suspended_) decode_to_end();
    qdx_ogg_free(d_);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size > (1u << 24)) return 0;
    const int free_descriptor = session_files::lowest_free_descriptor();
    fuzz_script script(data, size);
    std::vector<std::uint8_t> stream(data, data + size);
    restamp_page_checksums(stream);
    host_session session(std::move(stream), script);
    session.run();
    fuzz_require(session_files::lowest_free_descriptor() == free_descriptor,
                 "a file descriptor was left open after free");
    if (session.maps_files()) {
        fuzz_require(!session_files::instance().any_file_mapped(), "a file stayed mapped after free");
    }
    return 0;
}
