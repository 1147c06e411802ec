// Interrupt cleanup on Windows: Ctrl-C, Ctrl-Break and a closed console
// window or session arrive as console control events, on a thread of their
// own that the system starts in the process.
#include "interrupt_cleanup.h"

#include <windows.h>

#include <cstring>

#include "os.h"

namespace {

// Guarded by lock, which the handler thread takes too, so an event cannot
// fall between creating the file and arming the cleanup.
SRWLOCK lock = SRWLOCK_INIT;
char pending_path[4096];
bool armed = false;

// The file is still open in the main thread; it was created shared for
// deletion, so it goes once the process ends. FALSE passes the event on to
// the default handler, which ends the process as the event asks.
BOOL WINAPI remove_and_pass_on(DWORD) {
    AcquireSRWLockExclusive(&lock);
    if (armed) DeleteFileA(pending_path);
    ReleaseSRWLockExclusive(&lock);
    return FALSE;
}

void install_handler_once() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    SetConsoleCtrlHandler(remove_and_pass_on, TRUE);
}

}  // namespace

std::FILE *create_removed_on_interrupt(std::string &pattern) {
    install_handler_once();
    AcquireSRWLockExclusive(&lock);
    std::FILE *file = create_new_file(pattern);
    if (file != nullptr && pattern.size() < sizeof pending_path) {
        std::memcpy(pending_path, pattern.c_str(), pattern.size() + 1);
        armed = true;
    }
    ReleaseSRWLockExclusive(&lock);
    return file;
}

void keep_on_interrupt() {
    AcquireSRWLockExclusive(&lock);
    armed = false;
    ReleaseSRWLockExclusive(&lock);
}
