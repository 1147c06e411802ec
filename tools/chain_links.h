// The links of a chained Ogg file (streams one after another, as
// `cat a.ogg b.ogg` makes): the decoder plays the stream that begins at its
// start offset and passes over what follows, so the tool attaches each link
// in turn at the offset where it begins.
#ifndef VELMORA_TOOLS_CHAIN_LINKS_H
#define VELMORA_TOOLS_CHAIN_LINKS_H

#include <vector>

#include "input_range.h"

// The range split at every page that begins a new link: a page that marks
// the beginning of a stream and follows a page that does not. Only pages
// whose checksum holds count, so audio bytes that happen to read "OggS"
// split nothing. One range, the whole of it, when nothing is chained.
std::vector<input_range> chain_links(const input_range &range);

#endif  // VELMORA_TOOLS_CHAIN_LINKS_H
