// The PCM the tool must write, from Tremor's own decoder (tests/support).
#ifndef VELMORA_CLI_EXPECTED_PCM_H
#define VELMORA_CLI_EXPECTED_PCM_H

#include <string>

#include "support/reference.h"

// The reference decode of a committed fixture; fails the test when Tremor
// cannot open it.
reference_result reference_of(const std::string &fixture);

// Its PCM as bytes in a string, to compare with files and captured output.
std::string reference_pcm(const std::string &fixture);

#endif  // VELMORA_CLI_EXPECTED_PCM_H
