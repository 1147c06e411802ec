// The three kinds of source a host attaches, so that one test body runs over
// memory blocks, files read in chunks and mapped files. Attaching is each
// test tree's own: the native tests call the linked library and hand over
// blocks from malloc (support/source_kinds.h), the Windows tests call the
// loaded module and hand over blocks from LocalAlloc (win/win_sources.h).
#ifndef VELMORA_TEST_SOURCE_KIND_H
#define VELMORA_TEST_SOURCE_KIND_H

#include <string>
#include <vector>

enum class source_kind { memory, read_file, mapped_file };

inline const std::vector<source_kind> every_source_kind = {source_kind::memory, source_kind::read_file,
                                                           source_kind::mapped_file};
inline const std::vector<source_kind> file_source_kinds = {source_kind::read_file,
                                                           source_kind::mapped_file};

// "memory", "read_file", "mapped_file": for parameterized test names.
inline std::string source_kind_name(source_kind kind) {
    switch (kind) {
        case source_kind::memory: return "memory";
        case source_kind::read_file: return "read_file";
        case source_kind::mapped_file: return "mapped_file";
    }
    return "unknown";
}

#endif  // VELMORA_TEST_SOURCE_KIND_H
