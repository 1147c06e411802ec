// A host's decoding loop, instrumented: every call's buffer is filled with a
// pattern first, so an overrun or a byte left unwritten shows. The native
// tests and the Windows tests share it; each tree links its own
// host_loop_calls().
#ifndef VELMORA_TEST_HOST_LOOP_H
#define VELMORA_TEST_HOST_LOOP_H

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "velmora.h"

// The two exports the loop calls. Defined once per test tree: the library's
// own where a program links it (host_loop_linked.cpp), the loaded module's
// in the Windows tests (win/win_host_loop.cpp).
struct host_loop_exports {
    decltype(&qdx_ogg_process_frame) process_frame;
    decltype(&qdx_ogg_eof) eof;
};
host_loop_exports host_loop_calls();

// Chooses the length of call number i (from 0).
using length_rule = std::function<std::int32_t(int call)>;

length_rule fixed_length(std::int32_t length);
// A length that changes from call to call, odd and even, small and large.
length_rule varying_length();

struct decode_result {
    std::vector<std::uint8_t> pcm;  // the returned bytes of every call, in order
    int calls = 0;
    bool reached_eof = false;
    std::string fault;              // empty, or what broke the buffer contract
};

// Calls qdx_ogg_process_frame until qdx_ogg_eof reports 1 (or a call limit is
// hit, which counts as a fault: the decoder must not spin). Each call must
// return less than length + one batch and leave the pattern intact from the
// returned count on.
decode_result decode_to_end(qdx_ogg_decoder *d, const length_rule &lengths,
                            int max_calls = 1000000);

// One call, checked the same way; appends the returned bytes to out.
std::int32_t checked_call(qdx_ogg_decoder *d, std::int32_t length,
                          std::vector<std::uint8_t> *out, std::string *fault);

#endif  // VELMORA_TEST_HOST_LOOP_H
