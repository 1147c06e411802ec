#include "attached_decoder.h"

#include "exit_status.h"
#include "stream_diagnosis.h"

attached_decoder::attached_decoder(input_kind kind, const input_range &first, const input_range *second) {
    decoder_ = qdx_ogg_create();
    if (decoder_ == nullptr) throw tool_error(exit_status::internal, "the decoder could not be created (out of memory)");
    if (attach(kind, first, second) != 0) {
        const std::string why = describe_refused_stream(read_range(first, diagnosis_bytes), first.start);
        qdx_ogg_free(decoder_);
        throw tool_error(exit_status::stream, first.path + ": " + why);
    }
}

attached_decoder::~attached_decoder() { qdx_ogg_free(decoder_); }

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
std::int32_t attached_decoder::attach_memory(const input_range &first, const input_range *second) {
    first_bytes_ = read_range(first);
    const auto size1 = static_cast<std::uint32_t>(first_bytes_.size());
    if (second == nullptr) return qdx_ogg_input_memory(decoder_, first_bytes_.data(), size1, 0);
    second_bytes_ = read_range(*second);
    return qdx_ogg_input_memory2(decoder_, first_bytes_.data(), size1, second_bytes_.data(),
                                 static_cast<std::uint32_t>(second_bytes_.size()), 0);
}
