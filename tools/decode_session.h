// One run of the host loop: from the first play of the input to the last,
// with a replay between plays, every byte of PCM handed to the writer.
#ifndef VELMORA_TOOLS_DECODE_SESSION_H
#define VELMORA_TOOLS_DECODE_SESSION_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "input_range.h"
#include "options.h"
#include "pcm_writer.h"
#include "progress.h"
#include "velmora.h"

struct session_plan {
    input_kind kind = input_kind::memory;
    input_range first;                 // played once
    std::vector<input_range> links;    // first split into its chained streams, in order; at least one
    std::optional<input_range> second; // a loop body: every play after the first
    std::uint64_t plays = 1;           // first play included
    std::int32_t chunk = 16384;        // bytes asked per decoding call
};

struct session_result {
    qdx_ogg_wave_format format{};
    std::uint64_t pcm_bytes = 0;
    double decode_seconds = 0;  // wall-clock time of the decoding loop
};

// Checks a loop body, and each later link of a chained input, before
// anything is written: it must start, and in the first stream's format,
// since a WAV file has one format. Throws tool_error(exit_status::stream)
// otherwise.
void check_later_streams(const session_plan &plan);

// How messages call link number index (from 0) of a chained input.
std::string link_name(const session_plan &plan, std::size_t index);

// Decodes and writes; the writer is begun here and finished by the caller.
// Each play decodes every link of a chained input in order, attaching each
// at its start. Throws tool_error when the decoder refuses the input, a
// replayed or later stream changes format, the decoder stops making progress, or the output fails.
session_result run_session(const session_plan &plan, pcm_writer &out, progress_display &progress);

#endif  // VELMORA_TOOLS_DECODE_SESSION_H
