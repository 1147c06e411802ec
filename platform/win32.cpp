// Win32 backend: the Windows calls the decoder was written for, on desktop
// Windows. Handles are the Windows handles themselves, so 0 stays "none" and
// INVALID_HANDLE_VALUE is PLAT_INVALID_HANDLE; a mapping that cannot be made
// is 0, as CreateFileMappingW answers NULL. Absent and failed handles never
// reach a Windows call: INVALID_HANDLE_VALUE is also the pseudo-handle of the
// current process, which CloseHandle would accept.
#include <windows.h>

#include "platform/platform.h"

static_assert(sizeof(plat_wchar) == sizeof(WCHAR), "wide paths are passed to Windows as they are");

namespace {

bool usable(plat_handle handle) {
    return handle != PLAT_NO_HANDLE && handle != PLAT_INVALID_HANDLE;
}

HANDLE native(plat_handle handle) { return reinterpret_cast<HANDLE>(handle); }

plat_handle handle_of(HANDLE handle) { return reinterpret_cast<plat_handle>(handle); }

const WCHAR *native(const plat_wchar *path) { return reinterpret_cast<const WCHAR *>(path); }

// Only disk files are kept open: CreateFileW also opens devices (CON, NUL,
// COM1) and pipes, whose reads may block or never end.
plat_handle open_existing(const plat_wchar *path, std::uint32_t access, std::uint32_t share,
                          std::uint32_t creation, std::uint32_t flags_and_attributes) {
    if (path == nullptr) return PLAT_INVALID_HANDLE;
    const HANDLE file = CreateFileW(native(path), access, share, nullptr, creation,
                                    flags_and_attributes, nullptr);
    if (file == INVALID_HANDLE_VALUE) return PLAT_INVALID_HANDLE;
    if (GetFileType(file) != FILE_TYPE_DISK) {
        CloseHandle(file);
        return PLAT_INVALID_HANDLE;
    }
    return handle_of(file);
}

}  // namespace

// A TLS index of the system's, taken once per process: MinGW's thread_local
// is emulated with blocks from malloc and aborts when one cannot be had.
// Reading a slot never fails; a thread's first set of a slot beyond the
// first 64 needs memory and may be refused.
namespace {
DWORD thread_slot() {
    static const DWORD slot = TlsAlloc();
    return slot;
}
}  // namespace

void *plat_thread_value() {
    const DWORD slot = thread_slot();
    return slot == TLS_OUT_OF_INDEXES ? nullptr : TlsGetValue(slot);
}

bool plat_set_thread_value(void *value) {
    const DWORD slot = thread_slot();
    return slot != TLS_OUT_OF_INDEXES && TlsSetValue(slot, value) != 0;
}

void *plat_local_alloc(std::uint32_t flags, std::size_t bytes) {
    if (plat_fault_injected(PLAT_OP_ALLOC)) return nullptr;
    return LocalAlloc(flags, bytes);
}

void plat_local_free(void *block) {
    if (block != nullptr) LocalFree(block);
}

int plat_multibyte_to_wide(std::uint32_t code_page, const char *narrow, plat_wchar *wide,
                           int capacity) {
    if (plat_fault_injected(PLAT_OP_TO_WIDE) || narrow == nullptr) return 0;
    return MultiByteToWideChar(code_page, 0, narrow, -1, reinterpret_cast<WCHAR *>(wide),
                               capacity);
}

plat_handle plat_create_file(const plat_wchar *path, std::uint32_t access, std::uint32_t share,
                             std::uint32_t creation, std::uint32_t flags_and_attributes) {
    if (plat_fault_injected(PLAT_OP_OPEN)) return PLAT_INVALID_HANDLE;
    return open_existing(path, access, share, creation, flags_and_attributes);
}

// Desktop Windows has no CreateFileForMappingW: CE needs it because its
// mappable files are opened apart from ordinary ones. Here any file opened
// for reading can be mapped, so CreateFileW takes the same arguments.
plat_handle plat_create_file_for_mapping(const plat_wchar *path, std::uint32_t access,
                                         std::uint32_t share, std::uint32_t creation,
                                         std::uint32_t flags_and_attributes) {
    if (plat_fault_injected(PLAT_OP_OPEN_FOR_MAPPING)) return PLAT_INVALID_HANDLE;
    return open_existing(path, access, share, creation, flags_and_attributes);
}

// The distance goes to Windows as its low and high words, so offsets from
// 2 GiB on, and past 4 GiB, are positions rather than negative moves.
bool plat_set_file_pointer(plat_handle file, std::uint64_t distance, std::uint32_t method) {
    if (plat_fault_injected(PLAT_OP_SEEK) || !usable(file)) return false;
    LONG high = static_cast<LONG>(distance >> 32);
    SetLastError(NO_ERROR);  // a low word of 0xFFFFFFFF is told from a failure by the error
    const DWORD low = SetFilePointer(native(file), static_cast<LONG>(distance & 0xFFFFFFFFu), &high, method);
    return low != INVALID_SET_FILE_POINTER || GetLastError() == NO_ERROR;
}

// ReadFile may deliver less than asked before the end of a file (a pipe, a
// network share); keep reading until the count, the end, or an error.
std::uint32_t plat_read_file(plat_handle file, void *buffer, std::uint32_t count) {
    if (!usable(file) || buffer == nullptr) return 0;
    count = plat_fault_read_limit(count);
    std::uint32_t delivered = 0;
    while (delivered < count) {
        DWORD got = 0;
        const BOOL ok = ReadFile(native(file), static_cast<char *>(buffer) + delivered,
                                 count - delivered, &got, nullptr);
        if (!ok || got == 0) break;  // an error or the end: deliver what we have
        delivered += got;
    }
    return delivered;
}

plat_handle plat_create_file_mapping(plat_handle file, std::uint32_t protect) {
    if (plat_fault_injected(PLAT_OP_MAPPING) || !usable(file)) return PLAT_NO_HANDLE;
    // NULL on failure, an empty file included (ERROR_FILE_INVALID).
    return handle_of(CreateFileMappingW(native(file), nullptr, protect, 0, 0, nullptr));
}

const std::uint8_t *plat_map_view(plat_handle mapping, std::uint32_t access) {
    if (plat_fault_injected(PLAT_OP_VIEW) || !usable(mapping)) return nullptr;
    return static_cast<const std::uint8_t *>(MapViewOfFile(native(mapping), access, 0, 0, 0));
}

void plat_unmap_view(const std::uint8_t *view) {
    if (view != nullptr) UnmapViewOfFile(view);
}

void plat_close_handle(plat_handle handle) {
    if (usable(handle)) CloseHandle(native(handle));
}

// The low size word, like nFileSizeLow; the high word is asked for only so
// that a failure can be told from a size of 0xFFFFFFFF.
std::uint32_t plat_file_size(plat_handle file) {
    if (plat_fault_injected(PLAT_OP_FILE_SIZE) || !usable(file)) return INVALID_FILE_SIZE;
    DWORD high = 0;
    SetLastError(NO_ERROR);
    const DWORD low = GetFileSize(native(file), &high);
    if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return INVALID_FILE_SIZE;
    return low;
}

bool plat_find_file_size(const plat_wchar *path, std::uint32_t *size) {
    if (plat_fault_injected(PLAT_OP_FIND) || path == nullptr) return false;
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW(native(path), &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    FindClose(search);
    *size = found.nFileSizeLow;
    return true;
}
