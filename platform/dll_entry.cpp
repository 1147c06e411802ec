// The module's entry point on Windows. The library keeps no global state
// that needs setting up or tearing down, and starts no thread, so every
// loader notification (process and thread, attach and detach) is answered
// with success and nothing else is done.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
