// The host loop's calls where the program links the library: its exports.
#include "support/host_loop.h"

host_loop_exports host_loop_calls() { return {qdx_ogg_process_frame, qdx_ogg_eof}; }
