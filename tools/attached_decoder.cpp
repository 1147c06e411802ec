#include "attached_decoder.h"

#include <utility>

#include "exit_status.h"
#include "stream_diagnosis.h"

attached_decoder::attached_decoder(input_kind kind, const input_range &first, const input_range *second,
                                   const std::string &name) {
    decoder_ = qdx_ogg_create();
    if (decoder_ == nullptr) throw tool_error(exit_status::internal, "the decoder could not be created (out of memory)");
    if (attach(kind, first, second) != 0) {
        qdx_ogg_free(decoder_);
        decoder_ = nullptr;
        refuse(first, name);
    }
}

attached_decoder::~attached_decoder() { qdx_ogg_free(decoder_); }

void attached_decoder::attach_again(input_kind kind, const input_range &range, const std::string &name) {
    if (attach(kind, range, nullptr) != 0) refuse(range, name);
}

void attached_decoder::refuse(const input_range &range, const std::string &name) {
    const std::string why = describe_refused_stream(read_range(range, diagnosis_bytes), range.start);
    throw tool_error(exit_status::stream, (name.empty() ? shown_name(range.path) : name) + ": " + why);
}

// The read family takes a length from the start, the mapped family an
// absolute end offset; both ranges are already checked against the files.
std::int32_t attached_decoder::attach(input_kind kind, const input_range &first, const input_range *second) {
    if (kind == input_kind::memory) return attach_memory(first, second);
    const char *path1 = first.path.c_str();
    if (kind == input_kind::read) {
        if (second == nullptr) return qdx_ogg_input_file_open(decoder_, path1, first.start, first.bytes());
        return qdx_ogg_input_file_open2(decoder_, path1, first.start, first.bytes(), second->path.c_str(),
                                        second->start, second->bytes());
    }
    if (second == nullptr) return qdx_ogg_input_file_map(decoder_, path1, first.start, first.end);
    return qdx_ogg_input_file_map2(decoder_, path1, first.start, first.end, second->path.c_str(), second->start,
                                   second->end);
}

// The blocks stay owned here (ownership flag 0): they come from this
// program's heap, not necessarily the one the module frees into.
// The blocks the decoder held stay alive until the new ones are attached,
// which releases them.
std::int32_t attached_decoder::attach_memory(const input_range &first, const input_range *second) {
    std::vector<std::uint8_t> bytes1 = read_range(first);
    std::vector<std::uint8_t> bytes2 = second != nullptr ? read_range(*second) : std::vector<std::uint8_t>();
    const auto size1 = static_cast<std::uint32_t>(bytes1.size());
    const std::int32_t result =
        second == nullptr ? qdx_ogg_input_memory(decoder_, bytes1.data(), size1, 0)
                          : qdx_ogg_input_memory2(decoder_, bytes1.data(), size1, bytes2.data(),
                                                  static_cast<std::uint32_t>(bytes2.size()), 0);
    first_bytes_ = std::move(bytes1);
    second_bytes_ = std::move(bytes2);
    return result;
}
