// The same fixture attached through each of the three source kinds, so one
// test body runs over memory blocks, files read in chunks and mapped files.
#ifndef VELMORA_TEST_WIN_SOURCES_H
#define VELMORA_TEST_WIN_SOURCES_H

#include <cstdint>
#include <string>
#include <vector>

#include "loaded_module.h"
#include "support/source_kind.h"

// Attaches the whole file at path (narrow, active code page): its bytes in a
// block from the local heap (LocalAlloc) handed over with ownership, the file
// read in chunks, or the file mapped. Returns the input's result.
std::int32_t attach_one(qdx_ogg_decoder *d, source_kind kind, const std::string &path);

// Two sources: path1 decoded first, path2 after every replay.
std::int32_t attach_two(qdx_ogg_decoder *d, source_kind kind, const std::string &path1,
                        const std::string &path2);

#endif  // VELMORA_TEST_WIN_SOURCES_H
