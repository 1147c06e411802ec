// Opening a file source from the path stored in it, as the file inputs and
// resume do.
#ifndef VELMORA_FILE_OPEN_H
#define VELMORA_FILE_OPEN_H

#include <cstdint>

struct qdx_ogg_source;

// Opens a read source's file and moves it to start + position, summed in 64
// bits. On failure file holds PLAT_INVALID_HANDLE and false is returned.
bool open_read_file(qdx_ogg_source &s);

// Opens, maps and views a mapped source's file, and holds end to the size of
// what was mapped, so no refill reads past the view. On failure nothing stays
// open: file holds PLAT_INVALID_HANDLE when the open failed, 0 otherwise.
bool open_mapped_file(qdx_ogg_source &s);

#endif  // VELMORA_FILE_OPEN_H
