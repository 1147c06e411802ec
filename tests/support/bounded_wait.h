// Waiting for a child process that might hang: a test that starts a tool on
// something that could block it must end all the same.
#ifndef VELMORA_TEST_BOUNDED_WAIT_H
#define VELMORA_TEST_BOUNDED_WAIT_H

#include <sys/types.h>

struct child_exit {
    int status = 0;       // as waitpid reports it
    bool killed = false;  // still running at the limit: killed with SIGKILL
};

// Waits for child; at most seconds when seconds > 0, then kills it. A guard
// against a hang, not a measure of speed.
child_exit wait_for_child(pid_t child, int seconds);

#endif  // VELMORA_TEST_BOUNDED_WAIT_H
