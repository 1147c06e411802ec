// Several decoders on several threads at once, as a host playing more than
// one stream does: memory inputs decode side by side from start to end; file
// inputs and resumes, which share one path buffer across the process, are
// serialised by the host's lock while the decoding between them runs side by
// side. Each thread must hear exactly Tremor's PCM. The threads step of the
// test scripts runs this under ThreadSanitizer, which must report nothing.
#include <gtest/gtest.h>

#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/host_loop.h"
#include "support/source_kinds.h"
#include "support/test_data.h"

namespace {

using bytes = std::vector<std::uint8_t>;

const std::vector<std::string> fixtures = {"stereo44.ogg", "mono44.ogg", "six48.ogg", "three.ogg"};
constexpr int ROUNDS = 3;

// Tremor's PCM of each fixture, decoded on this thread before any other
// starts (the reference cache is not shared safely).
std::vector<const bytes *> expected_pcm() {
    std::vector<const bytes *> expected;
    for (const std::string &name : fixtures) expected.push_back(&reference_pcm(name));
    return expected;
}

// Runs body(i) on one thread per fixture and waits for all of them.
template <typename Body>
void on_parallel_threads(Body body) {
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < fixtures.size(); ++i) threads.emplace_back(body, i);
    for (std::thread &t : threads) t.join();
}

// A few calls, as a host plays a while before it is interrupted.
void decode_a_while(qdx_ogg_decoder *d, decode_result *r) {
    for (int call = 0; call < 5 && !qdx_ogg_eof(d); ++call) checked_call(d, 3001, &r->pcm, &r->fault);
}

// Whole decodes, attach to end, repeated so the threads overlap.
// Every thread decoded every round of its fixture to Tremor's PCM.
void expect_every_round_heard(const std::vector<std::vector<decode_result>> &heard,
                              const std::vector<const bytes *> &expected) {
    for (std::size_t i = 0; i < fixtures.size(); ++i) {
        SCOPED_TRACE(fixtures[i]);
        ASSERT_EQ(heard[i].size(), static_cast<std::size_t>(ROUNDS)) << "an input was refused";
        for (const decode_result &r : heard[i]) {
            EXPECT_EQ(r.fault, "");
            EXPECT_EQ(r.pcm, *expected[i]);
        }
    }
}

TEST(parallel_decoders, MemoryInputsDecodeSideBySide) {
    const std::vector<const bytes *> expected = expected_pcm();
    std::vector<std::vector<decode_result>> heard(fixtures.size());
    on_parallel_threads([&](std::size_t i) {
        for (int round = 0; round < ROUNDS; ++round) {
            decoder_ptr d = new_decoder();
            if (attach_one(d.get(), source_kind::memory, fixture_path(fixtures[i])) != 0) continue;
            heard[i].push_back(decode_to_end(d.get(), varying_length()));
        }
    });
    expect_every_round_heard(heard, expected);
}

// Attach, decode a while, suspend, resume, decode to the end: the attach and
// the resume under the host's lock, everything else outside it. Read and
// mapped files take turns.
TEST(parallel_decoders, FileInputsDecodeSideBySideBetweenLockedCalls) {
    const std::vector<const bytes *> expected = expected_pcm();
    std::mutex path_calls;
    std::vector<std::vector<decode_result>> heard(fixtures.size());
    on_parallel_threads([&](std::size_t i) {
        for (int round = 0; round < ROUNDS; ++round) {
            const source_kind kind = (i + round) % 2 ? source_kind::read_file : source_kind::mapped_file;
            decoder_ptr d = new_decoder();
            std::int32_t attached;
            {
                std::lock_guard<std::mutex> lock(path_calls);
                attached = attach_one(d.get(), kind, fixture_path(fixtures[i]));
            }
            if (attached != 0) continue;
            decode_result r;
            decode_a_while(d.get(), &r);
            const std::int32_t suspended = qdx_ogg_suspend(d.get());
            std::int32_t resumed;
            {
                std::lock_guard<std::mutex> lock(path_calls);
                resumed = qdx_ogg_resume(d.get());
            }
            if (suspended != 0 || resumed != 0) r.fault = "suspend or resume failed";
            const decode_result rest = decode_to_end(d.get(), varying_length());
            r.pcm.insert(r.pcm.end(), rest.pcm.begin(), rest.pcm.end());
            if (!rest.fault.empty()) r.fault = rest.fault;
            heard[i].push_back(r);
        }
    });
    expect_every_round_heard(heard, expected);
}

}  // namespace
