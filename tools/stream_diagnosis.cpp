#include "stream_diagnosis.h"

#include <algorithm>
#include <cstring>

namespace {

bool starts_with(const std::vector<std::uint8_t> &bytes, std::size_t at, const char *text) {
    const std::size_t n = std::strlen(text);
    return at + n <= bytes.size() && std::memcmp(bytes.data() + at, text, n) == 0;
}

// Where the payload of the Ogg page at offset page begins, or 0 when the
// page header runs past the bytes at hand. Layout: 27 fixed bytes, the last
// of which is the segment count, then the segment table.
std::size_t page_payload(const std::vector<std::uint8_t> &bytes, std::size_t page) {
    if (page + 27 > bytes.size()) return 0;
    const std::size_t payload = page + 27 + bytes[page + 26];
    return payload <= bytes.size() ? payload : 0;
}

std::string describe_non_ogg(const std::vector<std::uint8_t> &head) {
    if (head.empty()) return "not an Ogg stream: no bytes";
    if (starts_with(head, 0, "RIFF")) return "not an Ogg stream (it is a RIFF/WAVE file)";
    if (starts_with(head, 0, "fLaC")) return "not an Ogg stream (it is a FLAC file)";
    if (starts_with(head, 0, "ID3")) return "not an Ogg stream (it looks like an MP3 file)";
    return "not an Ogg stream: no Ogg page in its first bytes";
}

std::string codec_of(const std::vector<std::uint8_t> &head, std::size_t packet) {
    if (starts_with(head, packet, "OpusHead")) return "Opus";
    if (starts_with(head, packet, "Speex")) return "Speex";
    if (starts_with(head, packet, "\x7f" "FLAC")) return "FLAC";
    if (starts_with(head, packet, "\x80theora")) return "Theora";
    return "";
}

}  // namespace

// The decoder wants the first page right at the start offset; a stream
// stored inside a larger file is found by pointing --start at it.
std::string describe_refused_stream(const std::vector<std::uint8_t> &head, std::uint32_t start) {
    static const char capture[] = "OggS";
    const auto page = std::search(head.begin(), head.end(), capture, capture + 4);
    if (page == head.end()) return describe_non_ogg(head);
    const auto page_at = static_cast<std::size_t>(page - head.begin());
    if (page_at != 0) {
        return "no Ogg page at its start; the first one is at byte " + std::to_string(start + page_at) +
               " (try --start " + std::to_string(start + page_at) + ")";
    }
    const std::size_t payload = page_payload(head, page_at);
    const bool begins_stream = head.size() > 5 && (head[5] & 0x02) != 0;
    if (payload != 0 && !begins_stream) {
        return "no Ogg Vorbis stream begins at byte " + std::to_string(start) +
               ": the page there goes on with a stream that began earlier";
    }
    if (payload != 0 && !starts_with(head, payload, "\x01vorbis")) {
        const std::string codec = codec_of(head, payload);
        return "an Ogg stream, but not Vorbis" + (codec.empty() ? std::string() : " (it holds " + codec + ")");
    }
    return "not a playable Ogg Vorbis stream: its headers are damaged or cut short";
}
