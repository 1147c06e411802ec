// Paths: the narrow path kept in a source, its wide form for the platform,
// and the size query.
#ifndef VELMORA_PATH_H
#define VELMORA_PATH_H

#include <cstdint>

#include "platform/platform.h"

struct qdx_ogg_source;

constexpr int WIDE_PATH_CHARS = 2048;
constexpr std::uint32_t SIZE_UNKNOWN = 0xFFFFFFFFu;

// True for a non-null path that fits a source's path field with its
// terminator (at most 1023 bytes).
bool path_fits(const char *path);

// Copies a path that fits into the source's path field.
void store_path(qdx_ogg_source &s, const char *path);

// Converts a narrow path into the one wide path buffer of the process and
// returns it; null when the conversion fails. Not reentrant: the buffer is
// shared by every decoder, so file inputs and resumes must not overlap.
const plat_wchar *convert_path(const char *path);

// The size of the file at path, SIZE_UNKNOWN when it is not found. Uses the
// shared wide path buffer, as convert_path does.
std::uint32_t query_file_size(const char *path);

#endif  // VELMORA_PATH_H
