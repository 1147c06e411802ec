// Decoding on a thread with a small stack, as a device's audio thread has:
// every stream the fixtures, the shared vectors and malformed files, the fuzz
// regressions and the hostile setup headers hold, through every source kind,
// on a thread of 16 KiB with a guard page below its stack, to the same PCM as
// ov_read where the stream decodes. The stack is painted first, and the most
// any decode touched is printed, the figure the README gives; glibc keeps
// the thread's record and thread-local storage at its top, and a thread
// that does nothing is measured beside it.
//
// Only with our patched Tremor: Debian's packaged Tremor sorts each codebook
// on the stack, 12 bytes per entry, and needs tens of KiB for real files.
#include <gtest/gtest.h>

#include <pthread.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/host_loop.h"
#include "support/hostile_setups.h"
#include "support/reference.h"
#include "support/sanitizer.h"
#include "support/source_kinds.h"
#include "support/test_data.h"

#if __has_include(<valgrind/memcheck.h>)
#include <valgrind/memcheck.h>
#else
#define VALGRIND_MAKE_MEM_DEFINED(address, bytes)
#endif

namespace {

constexpr std::size_t STACK_BYTES = 16 * 1024;
constexpr unsigned char PAINT = 0xA5;

// A stack of its own, painted, with inaccessible memory below it so that
// overflowing it faults instead of writing over other memory. glibc takes
// no stack under PTHREAD_STACK_MIN (128 KiB on AArch64, 16 KiB on x86-64
// and 32-bit ARM): where that is more, the thread is given the minimum, all
// of it inaccessible but the top STACK_BYTES.
class painted_stack {
public:
    painted_stack() : page_(static_cast<std::size_t>(sysconf(_SC_PAGESIZE))) {
        const long least = sysconf(_SC_THREAD_STACK_MIN);
        given_ = std::max(STACK_BYTES, least > 0 ? static_cast<std::size_t>(least) : STACK_BYTES);
        void *p = mmap(nullptr, page_ + given_, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (p == MAP_FAILED) throw std::runtime_error("no memory for the stack");
        base_ = static_cast<unsigned char *>(p);
        if (mprotect(stack(), STACK_BYTES, PROT_READ | PROT_WRITE) != 0) throw std::runtime_error("stack not writable");
    }
    ~painted_stack() { munmap(base_, page_ + given_); }
    painted_stack(const painted_stack &) = delete;
    painted_stack &operator=(const painted_stack &) = delete;

    // Runs body on a thread over this stack, painted afresh; returns the
    // bytes touched, from the top.
    std::size_t run(std::function<void()> body) {
        // Memcheck takes a finished thread's stack for gone: it is ours.
        VALGRIND_MAKE_MEM_DEFINED(stack(), STACK_BYTES);
        std::memset(stack(), PAINT, STACK_BYTES);
        pthread_attr_t attr;
        pthread_attr_init(&attr);
        const int sized = pthread_attr_setstack(&attr, base_ + page_, given_);
        pthread_t thread;
        const int created = sized == 0 ? pthread_create(&thread, &attr, &call, &body) : sized;
        pthread_attr_destroy(&attr);
        if (created != 0) throw std::runtime_error("no thread on the small stack");
        pthread_join(thread, nullptr);
        VALGRIND_MAKE_MEM_DEFINED(stack(), STACK_BYTES);
        std::size_t untouched = 0;
        while (untouched < STACK_BYTES && stack()[untouched] == PAINT) ++untouched;
        return STACK_BYTES - untouched;
    }

private:
    // The accessible top of the mapping.
    unsigned char *stack() const { return base_ + page_ + given_ - STACK_BYTES; }
    static void *call(void *body) {
        (*static_cast<std::function<void()> *>(body))();
        return nullptr;
    }
    std::size_t page_;
    std::size_t given_ = 0;
    unsigned char *base_ = nullptr;
};

struct stack_input {
    std::string name;
    bytes stream;
};

std::vector<stack_input> inputs() {
    std::vector<stack_input> all;
    auto add_files = [&](const std::vector<std::string> &paths) {
        for (const std::string &path : paths) all.push_back({path.substr(path.find_last_of('/') + 1), read_bytes(path)});
    };
    add_files(ogg_files_in(std::string(VELMORA_SOURCE_DIR) + "/fixtures"));
    add_files(ogg_files_in(shared_testdata_dir("vorbis-vectors")));
    add_files(ogg_files_in(shared_testdata_dir("malformed-vorbis")));
    for (const auto &entry : std::filesystem::directory_iterator(std::string(VELMORA_SOURCE_DIR) + "/fuzz/regressions"))
        all.push_back({entry.path().filename().string(), read_bytes(entry.path().string())});
    for (hostile_setup &s : hostile_setups()) all.push_back({s.name, std::move(s.stream)});
    return all;
}

class small_stack : public ::testing::TestWithParam<source_kind> {};

TEST_P(small_stack, EveryStreamDecodesAsOvRead) {
#ifndef VELMORA_TREMOR_PATCHED
    GTEST_SKIP() << "Debian's packaged Tremor sorts codebooks on the stack";
#endif
#ifdef UNDER_ADDRESS_SANITIZER
    GTEST_SKIP() << "AddressSanitizer's frames are several times larger; the plain builds hold the decode to 16 KiB";
#endif
    if (shared_testdata_dir("vorbis-vectors").empty()) std::printf("../shared/testdata is absent: its streams are left out\n");
    painted_stack stack;
    scratch_dir dir;
    std::size_t most = 0;
    std::string deepest;
    for (const stack_input &input : inputs()) {
        SCOPED_TRACE(input.name);
        const std::string path = dir.file("input.ogg");
        write_bytes(path, input.stream);
        std::int32_t started = -1;
        decode_result got;
        const std::size_t used = stack.run([&] {
            decoder_ptr d = new_decoder();
            started = attach_one(d.get(), GetParam(), path);
            if (started == 0) got = decode_to_end(d.get(), fixed_length(4096));
        });
        ASSERT_TRUE(started == 0 || started == 1) << started;
        EXPECT_EQ(got.fault, "");
        if (used > most) {
            most = used;
            deepest = input.name;
        }
        if (started != 0) continue;
        const reference_result want = reference_decode(input.stream);
        if (want.opened) {
            EXPECT_TRUE(got.pcm == want.pcm) << "PCM differs from ov_read";
        }
    }
    std::printf("most stack touched (%s): %zu of %zu bytes, by %s; by a thread that does nothing: %zu\n",
                source_kind_name(GetParam()).c_str(), most, STACK_BYTES, deepest.c_str(), stack.run([] {}));
}

// Our Tremor on its own, through ov_open and ov_read, also fits: the hostile
// setups that stream start refuses before Tremor sees them included.
TEST(small_stack_tremor, OvReadOfEveryStreamFits) {
#ifndef VELMORA_TREMOR_PATCHED
    GTEST_SKIP() << "Debian's packaged Tremor sorts codebooks on the stack";
#endif
#ifdef UNDER_ADDRESS_SANITIZER
    GTEST_SKIP() << "AddressSanitizer's frames are several times larger; the plain builds hold the decode to 16 KiB";
#endif
    painted_stack stack;
    std::size_t most = 0;
    std::string deepest;
    for (const stack_input &input : inputs()) {
        const std::size_t used = stack.run([&] { reference_decode(input.stream); });
        if (used > most) {
            most = used;
            deepest = input.name;
        }
    }
    std::printf("most stack touched by ov_read: %zu of %zu bytes, by %s\n", most, STACK_BYTES, deepest.c_str());
}

INSTANTIATE_TEST_SUITE_P(, small_stack, ::testing::ValuesIn(every_source_kind),
                         [](const auto &info) { return source_kind_name(info.param); });

}  // namespace
