// Removes the temporary output file when the program is interrupted
// (SIGINT, SIGTERM, SIGHUP), then ends the program by the same signal, so
// even Ctrl-C leaves no half-written file behind.
#ifndef VELMORA_TOOLS_INTERRUPT_CLEANUP_H
#define VELMORA_TOOLS_INTERRUPT_CLEANUP_H

#include <string>

// Creates a file from pattern, which ends in XXXXXX (mkstemp), and arms the
// cleanup for it; one file at a time. Returns its descriptor, or -1 with
// errno set. A path too long for the handler's static buffer is created but
// not armed.
int create_removed_on_interrupt(std::string &pattern);

// Disarms it: the file was renamed or removed.
void keep_on_interrupt();

#endif  // VELMORA_TOOLS_INTERRUPT_CLEANUP_H
