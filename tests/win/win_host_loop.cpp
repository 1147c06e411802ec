// The host loop's calls in the Windows tests: the loaded module's exports.
#include "win_host_loop.h"

host_loop_exports host_loop_calls() { return {velmora().process_frame, velmora().eof}; }
