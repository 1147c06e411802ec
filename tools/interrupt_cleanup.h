// Removes the temporary output file when the program is interrupted
// (Ctrl-C, termination, a closed terminal), then lets the program end as
// the interruption would have ended it, so even Ctrl-C leaves no
// half-written file behind. One file per system: interrupt_cleanup_posix.cpp
// (signals), interrupt_cleanup_windows.cpp (console control events).
#ifndef VELMORA_TOOLS_INTERRUPT_CLEANUP_H
#define VELMORA_TOOLS_INTERRUPT_CLEANUP_H

#include <cstdio>
#include <string>

// Creates a file from pattern, which ends in XXXXXX (create_new_file in
// os.h), and arms the cleanup for it; one file at a time. Returns it open
// for binary writing, or null with errno set. A path too long for the
// handler's static buffer is created but not armed.
std::FILE *create_removed_on_interrupt(std::string &pattern);

// Disarms it: the file was renamed or removed.
void keep_on_interrupt();

#endif  // VELMORA_TOOLS_INTERRUPT_CLEANUP_H
