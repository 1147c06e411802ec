#include "core/comment_skip.h"

#include <cstring>

#include "core/decoder.h"

namespace {

constexpr int COMMENT_PACKET = 1;
constexpr int PAGE_HEADER_BYTES = 27;  // the fixed part, before the segment table
constexpr int SEGMENT_COUNT_AT = 26;   // the header byte that counts the segments
constexpr int MOST_SEGMENTS = 255;
constexpr unsigned char FULL_SEGMENT = 255;  // a segment that its packet goes on after

int segment_count(const ogg_page &page) { return page.header[SEGMENT_COUNT_AT]; }

const unsigned char *segment_table(const ogg_page &page) { return page.header + PAGE_HEADER_BYTES; }

// Follows a page's segments as ogg_stream_pagein adds them to packets, and
// hands the comment's bytes to the layout check.
void follow(comment_skip &skip, const ogg_page &page) {
    const unsigned char *lacing = segment_table(page);
    const int segments = segment_count(page);
    const unsigned char *body = page.body;
    int at = 0;
    // A page that continues a packet the stream layer does not hold: the
    // stream layer drops its segments up to that packet's end.
    if (ogg_page_continued(&page) && !skip.partial) {
        while (at < segments) {
            body += lacing[at];
            if (lacing[at++] != FULL_SEGMENT) break;
        }
    }
    for (; at < segments && skip.packet <= COMMENT_PACKET; ++at) {
        if (skip.packet == COMMENT_PACKET) skip.layout.take(body, lacing[at]);
        body += lacing[at];
        skip.partial = lacing[at] == FULL_SEGMENT;
        if (!skip.partial) ++skip.packet;
    }
}

// The copy of a page on which the comment goes on from an earlier page: the
// page's header with no segments while the comment goes on past the page,
// else with a segment of no bytes that ends the comment, then the page's
// segments and bytes after the comment. header receives the copy's header
// and segment table.
ogg_page without_comment(const ogg_page &page, unsigned char (&header)[PAGE_HEADER_BYTES + MOST_SEGMENTS]) {
    const unsigned char *lacing = segment_table(page);
    const int segments = segment_count(page);
    int comment_segments = 0;
    long comment_bytes = 0;
    while (comment_segments < segments && lacing[comment_segments] == FULL_SEGMENT) {
        comment_bytes += lacing[comment_segments++];
    }
    std::memcpy(header, page.header, PAGE_HEADER_BYTES);
    int kept = 0;
    if (comment_segments < segments) {
        comment_bytes += lacing[comment_segments++];
        kept = 1 + segments - comment_segments;
        header[PAGE_HEADER_BYTES] = 0;
        std::memcpy(header + PAGE_HEADER_BYTES + 1, lacing + comment_segments,
                    static_cast<std::size_t>(segments - comment_segments));
    }
    header[SEGMENT_COUNT_AT] = static_cast<unsigned char>(kept);
    ogg_page copy;
    copy.header = header;
    copy.header_len = PAGE_HEADER_BYTES + kept;
    copy.body = page.body + comment_bytes;
    copy.body_len = page.body_len - comment_bytes;
    return copy;
}

}  // namespace

void follow_first_page(comment_skip &skip, const ogg_page &page) { follow(skip, page); }

int submit_header_page(qdx_ogg_decoder &d, comment_skip &skip, ogg_page &page) {
    int result;
    if (skip.packet == COMMENT_PACKET && skip.partial) {
        unsigned char header[PAGE_HEADER_BYTES + MOST_SEGMENTS];
        ogg_page copy = without_comment(page, header);
        result = ogg_stream_pagein(&d.stream, &copy);
    } else {
        result = ogg_stream_pagein(&d.stream, &page);
    }
    if (result == 0) follow(skip, page);
    return result;
}

bool take_comment_header(qdx_ogg_decoder &d, const comment_skip &skip) {
    if (!skip.layout.complete()) return false;
    // No vendor string, no comments, the framing bit.
    unsigned char minimal[] = {3, 'v', 'o', 'r', 'b', 'i', 's', 0, 0, 0, 0, 0, 0, 0, 0, 1};
    ogg_packet packet = d.packet;
    packet.packet = minimal;
    packet.bytes = sizeof minimal;
    return vorbis_synthesis_headerin(&d.info, &d.comment, &packet) >= 0;
}
