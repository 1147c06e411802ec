// Every platform operation made to fail, one call at a time: for each
// operation a host session reaches, and for each call N of it that a clean
// session makes, the session is run again with call N failing (or, for
// reads, delivering fewer bytes). Each export must then answer with its
// documented result, nothing may be read from a source whose open failed,
// what is decoded must be a prefix of what a clean session decodes (or all
// of it, when the failure was survivable), and after free no descriptor,
// mapping or heap byte may be left. Then files cut short or replaced while
// a decoder is suspended.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "core/decoder.h"
#include "support/fault_plan.h"
#include "support/host_loop.h"
#include "support/resource_watch.h"
#include "support/source_kinds.h"
#include "support/test_data.h"

#include "support/sanitizer.h"

namespace {

using bytes = std::vector<std::uint8_t>;

// Where in a session a platform call was made.
enum class step { create, attach, decode, suspend, resume, retry_resume, replay, free_decoder };

const char *const step_names[] = {"create", "attach",       "decode", "suspend",
                                  "resume", "retry resume", "replay", "free"};
const char *const op_names[] = {"alloc", "to_wide", "open",      "open_for_mapping", "seek",        "read",
                                "mapping", "view",  "file_size", "find",             "thread_value"};

// The platform hook: counts calls by operation and fails one of them, or for
// a read lets fewer bytes through. Records the step the failure came in.
struct injection {
    plat_op op = PLAT_OP_COUNT;
    int call = -1;                 // which call of op fails, from 0
    std::uint32_t read_limit = 0;  // bytes a failing read still delivers
};

class injector {
public:
    explicit injector(injection planned) {
        state() = shared{};
        state().planned = planned;
        plat_set_fault_hook(decide);
    }
    ~injector() { plat_set_fault_hook(nullptr); }
    injector(const injector &) = delete;
    injector &operator=(const injector &) = delete;

    static void at(step s) { state().now = s; }
    int calls(plat_op op) const { return state().seen[op]; }
    bool hit() const { return state().hit; }
    step hit_in() const { return state().hit_in; }

private:
    struct shared {
        injection planned;
        int seen[PLAT_OP_COUNT] = {};
        step now = step::create;
        bool hit = false;
        step hit_in = step::create;
    };
    static shared &state() {
        static shared s;
        return s;
    }
    static std::uint32_t decide(plat_op op, std::uint32_t requested) {
        shared &s = state();
        const int call = s.seen[op]++;
        if (op != s.planned.op || call != s.planned.call) return requested;
        s.hit = true;
        s.hit_in = s.now;
        return op == PLAT_OP_READ ? std::min(s.planned.read_limit, requested) : 0;
    }
};

struct session_kind {
    source_kind kind;
    bool two_sources;
};

// What a session heard, phase by phase: before the replay, after it.
struct session_record {
    bool created = false;
    std::int32_t attached = -1;
    std::int32_t resumed = -1;
    std::int32_t resumed_again = 0;
    bytes before_replay;
    bytes after_replay;
    std::string fault;
};

const std::string &first_file() {
    static const std::string path = fixture_path("mono44.ogg");
    return path;
}
const std::string &second_file() {
    static const std::string path = fixture_path("short.ogg");
    return path;
}

void decode_calls(qdx_ogg_decoder *d, int calls, bytes *pcm, std::string *fault) {
    for (int i = 0; i < calls && !qdx_ogg_eof(d); ++i) checked_call(d, 4096, pcm, fault);
}

void decode_rest(qdx_ogg_decoder *d, bytes *pcm, std::string *fault) {
    const decode_result r = decode_to_end(d, fixed_length(3001), 100000);
    pcm->insert(pcm->end(), r.pcm.begin(), r.pcm.end());
    if (!r.fault.empty()) *fault = r.fault;
}

// A suspended decoder hands out silence and refuses a second suspend.
void expect_still_suspended(qdx_ogg_decoder *d) {
    bytes silence;
    std::string fault;
    const std::int32_t frame = qdx_ogg_pcm_format(d)->nBlockAlign;
    const std::int32_t whole_frames = frame > 0 ? 100 - 100 % frame : 100;
    EXPECT_EQ(checked_call(d, 100, &silence, &fault), whole_frames);
    EXPECT_EQ(silence, bytes(static_cast<std::size_t>(whole_frames), 0));
    EXPECT_EQ(qdx_ogg_suspend(d), -2);
}

// A read source that failed to reopen must never be read again.
void expect_failed_read_source_stays_unread(qdx_ogg_decoder *d, bytes *pcm, std::string *fault) {
    const qdx_ogg_source &s = d->use_second ? d->source2 : d->source1;
    const std::uint32_t position = s.position;
    decode_rest(d, pcm, fault);
    EXPECT_EQ(s.position, position) << "bytes read from a file that failed to reopen";
}

void run_after_attach(qdx_ogg_decoder *d, const session_kind &k, session_record *r) {
    injector::at(step::decode);
    decode_calls(d, 3, &r->before_replay, &r->fault);
    injector::at(step::suspend);
    EXPECT_EQ(qdx_ogg_suspend(d), 0);
    injector::at(step::resume);
    r->resumed = qdx_ogg_resume(d);
    if (r->resumed == -1) {
        expect_still_suspended(d);
        injector::at(step::retry_resume);
        r->resumed_again = qdx_ogg_resume(d);
    }
    injector::at(step::decode);
    const qdx_ogg_source &active = d->use_second ? d->source2 : d->source1;
    if (k.kind == source_kind::read_file && active.file == PLAT_INVALID_HANDLE) {
        expect_failed_read_source_stays_unread(d, &r->before_replay, &r->fault);
    } else {
        decode_rest(d, &r->before_replay, &r->fault);
    }
    injector::at(step::replay);
    // A failed restart is reported, and leaves a decoder at its end.
    const std::int32_t replayed = qdx_ogg_replay(d);
    EXPECT_TRUE(replayed == 0 || replayed == 1) << replayed;
    if (replayed == 1) {
        EXPECT_EQ(qdx_ogg_eof(d), 1);
    }
    injector::at(step::decode);
    decode_rest(d, &r->after_replay, &r->fault);
}

// create, attach, decode a little, suspend, resume, decode to the end,
// replay, decode to the end, free.
session_record run_session(const session_kind &k, session_record r = {}) {
    injector::at(step::create);
    qdx_ogg_decoder *d = qdx_ogg_create();
    r.created = d != nullptr;
    if (d == nullptr) return r;
    injector::at(step::attach);
    r.attached = k.two_sources ? attach_two(d, k.kind, first_file(), second_file())
                               : attach_one(d, k.kind, first_file());
    if (r.attached == 0) run_after_attach(d, k, &r);
    injector::at(step::free_decoder);
    EXPECT_EQ(qdx_ogg_free(d), 0);
    return r;
}

session_record with_room_for(const session_record &clean) {
    session_record r;
    r.before_replay.reserve(clean.before_replay.size() + 2 * 4096 + 2 * QDX_OGG_MAX_OVERRUN);
    r.after_replay.reserve(clean.after_replay.size() + 2 * 4096 + 2 * QDX_OGG_MAX_OVERRUN);
    return r;
}

bool is_prefix(const bytes &part, const bytes &whole) {
    return part.size() <= whole.size() && std::equal(part.begin(), part.end(), whole.begin());
}

// Operations whose failure while attaching must refuse the input.
bool refuses_input(plat_op op) {
    return op == PLAT_OP_OPEN || op == PLAT_OP_OPEN_FOR_MAPPING || op == PLAT_OP_MAPPING ||
           op == PLAT_OP_VIEW || op == PLAT_OP_FILE_SIZE || op == PLAT_OP_READ;
}

// Operations whose failure on resume fails the resume of a mapped file.
bool fails_mapped_resume(plat_op op) {
    return op == PLAT_OP_TO_WIDE || op == PLAT_OP_OPEN_FOR_MAPPING || op == PLAT_OP_MAPPING ||
           op == PLAT_OP_VIEW || op == PLAT_OP_FILE_SIZE;
}

void expect_null_decoder_answers() {
    EXPECT_EQ(qdx_ogg_free(nullptr), 0);
    EXPECT_EQ(qdx_ogg_suspend(nullptr), -1);
    EXPECT_EQ(qdx_ogg_resume(nullptr), -1);
    EXPECT_EQ(qdx_ogg_replay(nullptr), -1);
    EXPECT_EQ(qdx_ogg_eof(nullptr), 1);
    EXPECT_EQ(qdx_ogg_pcm_format(nullptr), nullptr);
}

class every_fault : public ::testing::TestWithParam<std::tuple<source_kind, bool>> {
protected:
    session_kind kind() const { return {std::get<0>(GetParam()), std::get<1>(GetParam())}; }

    void SetUp() override {
        injector counting{injection{}};
        clean = run_session(kind());
        for (int op = 0; op < PLAT_OP_COUNT; ++op) clean_calls[op] = counting.calls(static_cast<plat_op>(op));
        ASSERT_EQ(clean.attached, 0);
        ASSERT_EQ(clean.resumed, 0);
        ASSERT_EQ(clean.fault, "");
        ASSERT_FALSE(clean.before_replay.empty());
    }

    // One session with the planned failure; checks what the export that met
    // it answered, what was decoded, and what was left behind.
    void run_with(const injection &planned) {
        const int fds_before = open_fd_count();
        const int maps_before = mapping_count(fixture_path(""));
        session_record r;
        step hit_in;
        long heap_before;
        long heap_after;
        {
            // What the session hears is kept in room taken beforehand, so the
            // heap is measured around the decoder alone.
            session_record kept = with_room_for(clean);
            heap_before = heap_in_use();
            injector failing{planned};
            r = run_session(kind(), std::move(kept));
            heap_after = heap_in_use();
            ASSERT_TRUE(failing.hit()) << "the planned call never came";
            hit_in = failing.hit_in();
        }
        SCOPED_TRACE(std::string("failed in ") + step_names[static_cast<int>(hit_in)]);
        check_results(planned, hit_in, r);
        EXPECT_EQ(r.fault, "");
        EXPECT_EQ(open_fd_count(), fds_before);
        EXPECT_EQ(mapping_count(fixture_path("")), maps_before);
#ifndef UNDER_ADDRESS_SANITIZER
        const bool output_unbounded = planned.op == PLAT_OP_SEEK && hit_in == step::resume;
        if (!output_unbounded) {
            EXPECT_LE(heap_after - heap_before, HEAP_NOISE_BYTES);
        }
#else
        (void)heap_before;
        (void)heap_after;
#endif
    }

    void check_results(const injection &planned, step hit_in, const session_record &r) {
        if (planned.op == PLAT_OP_ALLOC) {
            EXPECT_FALSE(r.created) << "create must return null when the record cannot be had";
            expect_null_decoder_answers();
            return;
        }
        const bool delivers_some = planned.op == PLAT_OP_READ && planned.read_limit > 0;
        if (hit_in == step::attach && refuses_input(planned.op) && !delivers_some) {
            EXPECT_EQ(r.attached, 1);
        }
        if (r.attached != 0) return;
        const bool mapped = kind().kind == source_kind::mapped_file;
        if (hit_in == step::resume) {
            EXPECT_EQ(r.resumed, mapped && fails_mapped_resume(planned.op) ? -1 : 0);
        } else {
            EXPECT_EQ(r.resumed, 0);
        }
        EXPECT_EQ(r.resumed_again, 0);
        // A seek that fails on resume leaves a read file where it was: what
        // follows is other bytes of the same file, decoded or passed over.
        if (planned.op == PLAT_OP_SEEK && hit_in == step::resume) return;
        EXPECT_TRUE(is_prefix(r.before_replay, clean.before_replay)) << "before the replay";
        EXPECT_TRUE(is_prefix(r.after_replay, clean.after_replay)) << "after the replay";
        if (!refuses_input(planned.op) && planned.op != PLAT_OP_SEEK &&
            !(hit_in == step::resume && !mapped)) {
            EXPECT_EQ(r.before_replay, clean.before_replay) << "a survivable failure changed the sound";
            EXPECT_EQ(r.after_replay, clean.after_replay) << "a survivable failure changed the sound";
        }
    }

    session_record clean;
    int clean_calls[PLAT_OP_COUNT] = {};
};

TEST_P(every_fault, EachCallOfEachOperationFailingIsAnsweredAndLeavesNothingBehind) {
    int sessions = 0;
    for (int op = 0; op < PLAT_OP_COUNT; ++op) {
        // Asked once per call into the codec; thread_word_refused covers it.
        if (op == PLAT_OP_THREAD_VALUE) continue;
        for (int call = 0; call < clean_calls[op]; ++call) {
            SCOPED_TRACE(std::string(op_names[op]) + " call " + std::to_string(call));
            run_with(injection{static_cast<plat_op>(op), call, 0});
            ++sessions;
        }
    }
    EXPECT_GT(clean_calls[PLAT_OP_ALLOC], 0);
    if (kind().kind != source_kind::memory) {
        EXPECT_GT(clean_calls[PLAT_OP_TO_WIDE], 0);
    }
    RecordProperty("sessions", sessions);
}

// A read that delivers only part of what was asked counts as the end of the
// file: the source ends there, whatever call it was. Only read files read.
class every_short_read : public every_fault {};

TEST_P(every_short_read, EachReadCutShortEndsTheSourceThere) {
    ASSERT_GT(clean_calls[PLAT_OP_READ], 0);
    for (std::uint32_t delivered : {1u, 27u, 4096u, 8191u}) {
        for (int call = 0; call < clean_calls[PLAT_OP_READ]; ++call) {
            SCOPED_TRACE("read " + std::to_string(call) + " delivering " + std::to_string(delivered));
            run_with(injection{PLAT_OP_READ, call, delivered});
        }
    }
}

std::string kind_name(const ::testing::TestParamInfo<std::tuple<source_kind, bool>> &info) {
    return source_kind_name(std::get<0>(info.param)) + (std::get<1>(info.param) ? "_two" : "_one");
}

INSTANTIATE_TEST_SUITE_P(, every_fault,
                         ::testing::Combine(::testing::ValuesIn(every_source_kind), ::testing::Bool()),
                         kind_name);
INSTANTIATE_TEST_SUITE_P(, every_short_read,
                         ::testing::Combine(::testing::Values(source_kind::read_file), ::testing::Bool()),
                         kind_name);

// --- A thread's word that cannot be set ----------------------------------------

// Where a thread cannot name the decoder it serves, its codec blocks would go
// uncounted, so the call changes nothing: an input is refused, leaving the
// earlier one attached; a decoding call returns 0 and the next one goes on
// where the stream was; a replay returns 1 and leaves the decoder as it was.
TEST(thread_word_refused, EachCallChangesNothingAndTheNextOneGoesOn) {
    const bytes clean_pcm = reference_pcm("mono44.ogg");
    decoder_ptr d = new_decoder();
    ASSERT_EQ(attach_one(d.get(), source_kind::memory, first_file()), 0);
    {
        fault_plan refused;
        refused.fail(PLAT_OP_THREAD_VALUE);
        EXPECT_EQ(attach_one(d.get(), source_kind::read_file, second_file()), 1);
        EXPECT_EQ(d->source1.kind, SRC_MEMORY) << "the earlier input was let go";
        std::uint8_t buffer[4096 + QDX_OGG_MAX_OVERRUN];
        EXPECT_EQ(qdx_ogg_process_frame(d.get(), buffer, 4096), 0);
        EXPECT_EQ(refused.calls(PLAT_OP_THREAD_VALUE), 2);
    }
    bytes heard;
    std::string fault;
    decode_rest(d.get(), &heard, &fault);
    EXPECT_EQ(fault, "");
    EXPECT_EQ(heard, clean_pcm);
    {
        fault_plan refused;
        refused.fail(PLAT_OP_THREAD_VALUE);
        EXPECT_EQ(qdx_ogg_replay(d.get()), 1);
    }
    EXPECT_EQ(qdx_ogg_eof(d.get()), 1) << "the refused replay started the stream again";
}

// --- Files changed while suspended -------------------------------------------

namespace fs = std::filesystem;

class changed_file : public ::testing::TestWithParam<source_kind> {
protected:
    scratch_dir dir;
    const std::string path = dir.file("stream.ogg");
    const bytes original = read_bytes(fixture_path("stereo44.ogg"));
    const bytes clean_pcm = reference_pcm("stereo44.ogg");

    void SetUp() override { write_bytes(path, original); }

    // Decodes about half the stream, suspends, lets change() alter the file,
    // resumes and decodes to the end. Returns all that was heard.
    template <typename Change>
    bytes decode_around(Change change, std::int32_t expected_resume) {
        const int fds_before = open_fd_count();
        decoder_ptr d = new_decoder();
        EXPECT_EQ(attach_one(d.get(), GetParam(), path), 0);
        bytes heard;
        std::string fault;
        while (heard.size() < clean_pcm.size() / 2 && !qdx_ogg_eof(d.get())) {
            checked_call(d.get(), 4096, &heard, &fault);
        }
        EXPECT_EQ(qdx_ogg_suspend(d.get()), 0);
        change();
        EXPECT_EQ(qdx_ogg_resume(d.get()), expected_resume);
        if (expected_resume == 0) decode_rest(d.get(), &heard, &fault);
        EXPECT_EQ(fault, "");
        d.reset();
        EXPECT_EQ(open_fd_count(), fds_before);
        EXPECT_EQ(mapping_count(dir.path()), 0);
        return heard;
    }
};

TEST_P(changed_file, CutToAQuarterEndsTheSourceWithoutReadingPastIt) {
    const bytes heard = decode_around([&] { fs::resize_file(path, original.size() / 4); }, 0);
    EXPECT_TRUE(is_prefix(heard, clean_pcm));
}

TEST_P(changed_file, CutToThreeQuartersGivesAPrefixOfTheStream) {
    const bytes heard = decode_around([&] { fs::resize_file(path, original.size() * 3 / 4); }, 0);
    EXPECT_TRUE(is_prefix(heard, clean_pcm));
    EXPECT_GT(heard.size(), clean_pcm.size() / 2);
}

TEST_P(changed_file, EmptiedCannotBeMappedAndIsNeverRead) {
    const std::int32_t expected = GetParam() == source_kind::mapped_file ? -1 : 0;
    const bytes heard = decode_around([&] { fs::resize_file(path, 0); }, expected);
    EXPECT_TRUE(is_prefix(heard, clean_pcm));
}

// Another stream in its place: its bytes reach the codec from the middle, and
// are decoded or passed over, but nothing breaks.
TEST_P(changed_file, ReplacedByAnotherStreamIsDecodedOrPassedOver) {
    const bytes other = read_bytes(fixture_path("six48.ogg"));
    decode_around([&] { write_bytes(path, other); }, 0);
}

INSTANTIATE_TEST_SUITE_P(, changed_file, ::testing::ValuesIn(file_source_kinds),
                         [](const auto &info) { return source_kind_name(info.param); });

}  // namespace
