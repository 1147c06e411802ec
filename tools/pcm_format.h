// Reading the decoder's PCM format record as a host: what it says, whether
// two agree, and whether it describes PCM this tool can write.
#ifndef VELMORA_TOOLS_PCM_FORMAT_H
#define VELMORA_TOOLS_PCM_FORMAT_H

#include <string>

#include "velmora.h"

// "2 channels, 44100 Hz, 16 bits"
std::string describe_format(const qdx_ogg_wave_format &format);

bool same_format(const qdx_ogg_wave_format &a, const qdx_ogg_wave_format &b);

// Throws tool_error(exit_status::internal) unless the record describes
// 16-bit integer PCM with a consistent frame size and byte rate.
void require_usable_format(const qdx_ogg_wave_format &format);

#endif  // VELMORA_TOOLS_PCM_FORMAT_H
