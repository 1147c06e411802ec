// The operating-system operations the decoder needs, shaped after the Windows
// CE core calls it was written for. Handles are opaque unsigned words: 0 means
// none and PLAT_INVALID_HANDLE (all bits set) marks a failed open. Closing,
// unmapping or reading an absent or failed handle is harmless.
//
// One backend file implements all of these per operating system. Every
// operation first asks plat_fault_injected(), so tests can make any call fail.
#ifndef VELMORA_PLATFORM_H
#define VELMORA_PLATFORM_H

#include <cstddef>
#include <cstdint>

using plat_handle = std::uintptr_t;
using plat_wchar = char16_t;  // UTF-16 code unit, as WCHAR on Windows

constexpr plat_handle PLAT_NO_HANDLE = 0;
constexpr plat_handle PLAT_INVALID_HANDLE = ~plat_handle{0};

// Arguments of the Windows calls, with their Windows values.
constexpr std::uint32_t PLAT_GENERIC_READ = 0x80000000u;
constexpr std::uint32_t PLAT_FILE_SHARE_READ = 1;
constexpr std::uint32_t PLAT_OPEN_EXISTING = 3;
constexpr std::uint32_t PLAT_FILE_ATTRIBUTE_NORMAL = 0x80;
constexpr std::uint32_t PLAT_FILE_FLAG_RANDOM_ACCESS = 0x10000000u;
constexpr std::uint32_t PLAT_FILE_BEGIN = 0;
constexpr std::uint32_t PLAT_PAGE_READONLY = 2;
constexpr std::uint32_t PLAT_FILE_MAP_READ = 4;
constexpr std::uint32_t PLAT_CP_ACP = 0;
constexpr std::uint32_t PLAT_LMEM_FIXED = 0;

// Local heap (LocalAlloc / LocalFree). Null on exhaustion; freeing null is a
// no-op.
void *plat_local_alloc(std::uint32_t flags, std::size_t bytes);
void plat_local_free(void *block);

// Narrow text in the active code page to wide (MultiByteToWideChar with
// length -1). With capacity 0 it measures. Returns the wide characters needed
// or written, terminator included; 0 on failure.
int plat_multibyte_to_wide(std::uint32_t code_page, const char *narrow,
                           plat_wchar *wide, int capacity);

// Opens an existing file (CreateFileW). Only a regular (disk) file opens: a
// directory, FIFO, socket, device or pipe is refused at once, without
// blocking. PLAT_INVALID_HANDLE on failure.
plat_handle plat_create_file(const plat_wchar *path, std::uint32_t access,
                             std::uint32_t share, std::uint32_t creation,
                             std::uint32_t flags_and_attributes);

// Opens a file that will be mapped (CreateFileForMappingW on CE); regular
// files only, as above.
plat_handle plat_create_file_for_mapping(const plat_wchar *path,
                                         std::uint32_t access,
                                         std::uint32_t share,
                                         std::uint32_t creation,
                                         std::uint32_t flags_and_attributes);

// Moves the read position (SetFilePointer with its high part, so a read
// source that has passed 4 GiB resumes where it was). False on failure.
bool plat_set_file_pointer(plat_handle file, std::uint64_t distance, std::uint32_t method);

// Reads up to count bytes (ReadFile). Returns the bytes delivered: fewer than
// count only at end of file, 0 on failure. Interrupted and partial reads are
// retried inside.
std::uint32_t plat_read_file(plat_handle file, void *buffer,
                             std::uint32_t count);

// Mapping object over the whole file (CreateFileMappingW, size 0). 0 on
// failure, as on Windows; an empty file cannot be mapped.
plat_handle plat_create_file_mapping(plat_handle file, std::uint32_t protect);

// Read-only view of the whole mapped file (MapViewOfFile, offset 0, length 0).
// Null on failure.
const std::uint8_t *plat_map_view(plat_handle mapping, std::uint32_t access);

void plat_unmap_view(const std::uint8_t *view);
void plat_close_handle(plat_handle handle);

// Size of an open file in bytes (GetFileSize): its size now, also after
// another process cut it short. 0xFFFFFFFF on failure.
std::uint32_t plat_file_size(plat_handle file);

// Size of the file at path (FindFirstFileW / FindClose, nFileSizeLow).
// Returns false when the file is not found.
bool plat_find_file_size(const plat_wchar *path, std::uint32_t *size);

// --- The thread's own word ------------------------------------------------

// One pointer per thread, null until set: the decoder whose heap budget the
// thread's codec allocations are charged to (core/heap_budget.h). Reading it
// never allocates or fails, so the allocator may ask at any time. Setting it
// allocates nothing on POSIX, where the word has a fixed place in each
// thread's block (also in a module loaded at run time, and in threads started
// after), so it always succeeds there; on Windows a slot beyond the first 64
// is given memory at a thread's first set, which can fail (false, the word
// unchanged). A thread that has set it once can always set it again.
void *plat_thread_value();
bool plat_set_thread_value(void *value);

// --- Test seam -------------------------------------------------------------

enum plat_op {
    PLAT_OP_ALLOC,
    PLAT_OP_TO_WIDE,
    PLAT_OP_OPEN,
    PLAT_OP_OPEN_FOR_MAPPING,
    PLAT_OP_SEEK,
    PLAT_OP_READ,
    PLAT_OP_MAPPING,
    PLAT_OP_VIEW,
    PLAT_OP_FILE_SIZE,
    PLAT_OP_FIND,
    PLAT_OP_THREAD_VALUE,
    PLAT_OP_COUNT
};

// A hook that decides whether one call of an operation fails. For PLAT_OP_READ
// it may instead shorten the read: it returns the bytes to deliver at most
// (requested unchanged means no fault), so short and failed reads can both be
// injected. For the other operations a return below requested means fail.
using plat_fault_hook = std::uint32_t (*)(plat_op op, std::uint32_t requested);

// Installs a hook (null removes it) for the whole process: while one is
// installed, every platform call on every thread goes through it, so a hook
// used while other threads decode must be safe to call from them. Production
// code never installs one.
void plat_set_fault_hook(plat_fault_hook hook);

// True when the installed hook fails this call of op.
bool plat_fault_injected(plat_op op);
// For reads: the count the hook lets through.
std::uint32_t plat_fault_read_limit(std::uint32_t requested);

#endif  // VELMORA_PLATFORM_H
