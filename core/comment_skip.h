// Passing over the comment header while stream start reads the headers.
//
// The interface never exposes the comment header, and a legal one may hold
// megabytes of cover art, or a hostile one never end. So it is not gathered.
// The pages' segment tables tell where it lies; its bytes are checked as they
// go by (comment_layout.h) and kept out of the stream layer, which holds at
// most the part on the page where the comment begins. Each later page that
// only continues the comment reaches the stream layer as a bare copy of its
// header, which keeps the page sequence checked; the page where it ends, as a
// copy whose first segment (of no bytes) closes the comment there, followed
// by the page's remaining segments and bytes. So the stream layer returns the
// same packets, with the same numbers, flags and granule positions, as it
// would have, the comment cut short. Tremor is handed a minimal comment header
// in its place: only the comment's layout decides whether the stream starts.
#ifndef VELMORA_COMMENT_SKIP_H
#define VELMORA_COMMENT_SKIP_H

#include <ogg/ogg.h>

#include "core/comment_layout.h"

struct qdx_ogg_decoder;

// Where the header pages stand, as the stream layer splits them into packets.
struct comment_skip {
    int packet = 0;        // the packet the next segment belongs to: 0 is the
                           // identification header, 1 the comment
    bool partial = false;  // that packet began on a page already followed
    comment_layout layout;
};

// Follows the first page, which the stream layer has already taken whole:
// the comment may begin on it, after the identification header.
void follow_first_page(comment_skip &skip, const ogg_page &page);

// Submits a header page to the stream layer: the page itself, or its copy
// without the comment's bytes while the comment goes on from an earlier page.
// Returns ogg_stream_pagein's result: negative for a page of another stream,
// which is passed over.
int submit_header_page(qdx_ogg_decoder &d, comment_skip &skip, ogg_page &page);

// For the comment packet the stream layer returned: hands Tremor a minimal
// comment header in its place. False when the comment's own layout is
// malformed, or Tremor refuses.
bool take_comment_header(qdx_ogg_decoder &d, const comment_skip &skip);

#endif  // VELMORA_COMMENT_SKIP_H
