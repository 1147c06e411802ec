// Small pieces the core decoder tests share: a decoder that frees itself, a
// memoised reference decode, and test names made from file names.
#ifndef VELMORA_TEST_CORE_HELPERS_H
#define VELMORA_TEST_CORE_HELPERS_H

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "support/reference.h"
#include "support/test_data.h"
#include "velmora.h"

struct decoder_deleter {
    void operator()(qdx_ogg_decoder *d) const { qdx_ogg_free(d); }
};
using decoder_handle = std::unique_ptr<qdx_ogg_decoder, decoder_deleter>;

inline decoder_handle new_decoder() { return decoder_handle(qdx_ogg_create()); }

// Tremor's own PCM for a file, decoded once per test program.
inline const reference_result &reference_for(const std::string &path) {
    static std::map<std::string, reference_result> decoded;
    auto found = decoded.find(path);
    if (found == decoded.end())
        found = decoded.emplace(path, reference_decode(read_bytes(path))).first;
    return found->second;
}

// A copy of bytes in a block from malloc, the local heap of the POSIX
// platform, so it can be handed over with ownership.
inline void *owned_copy(const std::vector<std::uint8_t> &bytes) {
    void *block = std::malloc(bytes.empty() ? 1 : bytes.size());
    if (!bytes.empty()) std::memcpy(block, bytes.data(), bytes.size());
    return block;
}

inline std::uint32_t size32(const std::vector<std::uint8_t> &bytes) {
    return static_cast<std::uint32_t>(bytes.size());
}

// "lewton-bug-42-sample016.ogg" -> "lewton_bug_42_sample016": a name gtest
// accepts.
inline std::string test_name_of(const std::string &path) {
    std::string name = path.substr(path.find_last_of('/') + 1);
    name = name.substr(0, name.rfind('.'));
    for (char &c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    }
    return name;
}

#endif  // VELMORA_TEST_CORE_HELPERS_H
