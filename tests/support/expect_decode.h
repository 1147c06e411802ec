// Decoding steps for tests that expect them to keep the buffer contract:
// each one reports a broken contract as a test failure.
#ifndef VELMORA_TEST_EXPECT_DECODE_H
#define VELMORA_TEST_EXPECT_DECODE_H

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "support/host_loop.h"

// Everything up to the end of input.
inline std::vector<std::uint8_t> decode_all(qdx_ogg_decoder *d,
                                            const length_rule &lengths = varying_length()) {
    decode_result r = decode_to_end(d, lengths);
    EXPECT_EQ(r.fault, "");
    EXPECT_TRUE(r.reached_eof);
    return r.pcm;
}

// Calls of `length` bytes until the record is in the wanted state (or the
// source ends first, which fails the test).
template <typename Condition>
std::vector<std::uint8_t> decode_until(qdx_ogg_decoder *d, std::int32_t length, Condition done) {
    std::vector<std::uint8_t> pcm;
    std::string fault;
    while (!done(*d) && !qdx_ogg_eof(d) && fault.empty()) checked_call(d, length, &pcm, &fault);
    EXPECT_EQ(fault, "");
    EXPECT_TRUE(done(*d)) << "the source ended first";
    return pcm;
}

inline std::vector<std::uint8_t> joined(std::initializer_list<std::vector<std::uint8_t>> parts) {
    std::vector<std::uint8_t> all;
    for (const auto &part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

#endif  // VELMORA_TEST_EXPECT_DECODE_H
