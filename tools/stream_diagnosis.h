// Why the decoder refused a stream, told from its first bytes. The decoder
// only answers "not started"; the user deserves to know whether the file is
// not Ogg at all, Ogg with another codec, or Vorbis with broken headers.
#ifndef VELMORA_TOOLS_STREAM_DIAGNOSIS_H
#define VELMORA_TOOLS_STREAM_DIAGNOSIS_H

#include <cstdint>
#include <string>
#include <vector>

// How many leading bytes the diagnosis looks at.
constexpr std::size_t diagnosis_bytes = 65536;

// A short phrase such as "not an Ogg stream (it is a RIFF/WAVE file)".
// head: the first bytes of the stream, which lies at offset start in its file.
std::string describe_refused_stream(const std::vector<std::uint8_t> &head, std::uint32_t start);

#endif  // VELMORA_TOOLS_STREAM_DIAGNOSIS_H
