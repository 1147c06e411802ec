#include "expected_pcm.h"

#include <gtest/gtest.h>

#include "support/test_data.h"

reference_result reference_of(const std::string &fixture) {
    reference_result result = reference_decode(read_bytes(fixture_path(fixture)));
    EXPECT_TRUE(result.opened) << "Tremor cannot open " << fixture;
    return result;
}

std::string reference_pcm(const std::string &fixture) {
    const reference_result result = reference_of(fixture);
    return std::string(result.pcm.begin(), result.pcm.end());
}
