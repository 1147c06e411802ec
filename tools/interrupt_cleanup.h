// Removes the temporary output file when the program is interrupted
// (SIGINT, SIGTERM, SIGHUP), then ends the program by the same signal, so
// even Ctrl-C leaves no half-written file behind.
#ifndef VELMORA_TOOLS_INTERRUPT_CLEANUP_H
#define VELMORA_TOOLS_INTERRUPT_CLEANUP_H

#include <string>

// Arms the cleanup for path (one at a time). A path too long for the
// handler's static buffer is not armed.
void remove_on_interrupt(const std::string &path);

// Disarms it: the file was renamed or removed.
void keep_on_interrupt();

#endif  // VELMORA_TOOLS_INTERRUPT_CLEANUP_H
