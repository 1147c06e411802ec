// Whole sessions, thousands of them, over every source kind: create, input,
// decode a little, suspend, resume, replay, free; with failed inputs,
// failed resumes and attaching again mixed in. Afterwards the process holds
// as many descriptors, mappings and heap bytes as before.
//
// VELMORA_LEAK_CYCLES sets the number of sessions (fewer by default on ARM
// and under AddressSanitizer, whose leak checker watches the heap on its own).
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "support/fault_plan.h"
#include "support/resource_watch.h"
#include "support/source_kinds.h"
#include "support/test_data.h"

#include "support/sanitizer.h"

namespace {

#ifdef UNDER_ADDRESS_SANITIZER
constexpr int DEFAULT_CYCLES = 200;
#elif defined(__arm__) || defined(__aarch64__)
constexpr int DEFAULT_CYCLES = 400;  // small devices, and qemu in the suite
#else
constexpr int DEFAULT_CYCLES = 2000;
#endif

// Heap bytes the allocator may keep for itself between two measurements.
[[maybe_unused]] constexpr long HEAP_SLACK_BYTES = 64 * 1024;

int cycles() {
    const char *set = std::getenv("VELMORA_LEAK_CYCLES");
    const int n = set != nullptr ? std::atoi(set) : 0;
    return n > 0 ? n : DEFAULT_CYCLES;
}

void decode_a_little(qdx_ogg_decoder *d) {
    static std::vector<std::uint8_t> buffer(4096 + QDX_OGG_MAX_OVERRUN);
    qdx_ogg_process_frame(d, buffer.data(), 4096);
    qdx_ogg_process_frame(d, buffer.data(), 777);
}

// One session. The cycle number's digits in a mixed radix pick the kind, one
// or two sources and each failure mixed in, so every combination comes up
// once in 96 cycles.
void session(int cycle, const std::string &missing) {
    const source_kind kind = every_source_kind[cycle % 3];
    const bool two = (cycle / 3) % 2 == 1;
    const bool failing_resume = (cycle / 6) % 2 == 1;
    const bool attached_before = (cycle / 12) % 2 == 1;
    const bool missing_before = (cycle / 24) % 2 == 1;
    const bool freed_suspended = (cycle / 48) % 2 == 1;
    const std::string first = fixture_path("short.ogg");
    const std::string second = fixture_path("mono22.ogg");

    qdx_ogg_decoder *d = qdx_ogg_create();
    if (missing_before && kind != source_kind::memory) attach_one(d, kind, missing);
    if (attached_before) attach_one(d, kind, second);
    two ? attach_two(d, kind, first, second) : attach_one(d, kind, first);
    decode_a_little(d);
    qdx_ogg_suspend(d);
    decode_a_little(d);
    if (failing_resume) {
        fault_plan faults;
        // Fails a mapped resume; with two sources, after source1 is reopened.
        faults.fail(PLAT_OP_VIEW, two ? 1 : 0);
        qdx_ogg_resume(d);
    }
    qdx_ogg_resume(d);
    decode_a_little(d);
    qdx_ogg_replay(d);
    decode_a_little(d);
    if (freed_suspended) qdx_ogg_suspend(d);
    qdx_ogg_free(d);
}

TEST(session_leak, ThousandsOfSessionsLeaveDescriptorsMappingsAndHeapAsTheyWere) {
    scratch_dir dir;
    const std::string missing = dir.file("absent.ogg");
    for (int warm_up = 0; warm_up < 96; ++warm_up) session(warm_up, missing);

    const int fds_before = open_fd_count();
    const int maps_before = mapping_count();
    const int fixture_maps_before = mapping_count(fixture_path(""));
    const long heap_before = heap_in_use();
    const int n = cycles();
    for (int cycle = 0; cycle < n; ++cycle) session(cycle, missing);

    EXPECT_EQ(open_fd_count(), fds_before);
    EXPECT_EQ(mapping_count(fixture_path("")), fixture_maps_before);
#ifdef UNDER_ADDRESS_SANITIZER
    // The sanitizer's allocator maps and splits regions as it goes, so only
    // the mappings of our files are counted, and its leak checker stands in
    // for the heap count.
    (void)maps_before;
    (void)heap_before;
#else
    EXPECT_EQ(mapping_count(), maps_before);
    EXPECT_LE(heap_in_use() - heap_before, HEAP_SLACK_BYTES) << "over " << n << " sessions";
#endif
}

}  // namespace
