// The tool's system calls on Windows (os.h), through the C runtime where
// it serves and the Win32 calls where it does not. Paths are narrow, in
// the active code page, as the module takes them.
#include "os.h"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>
#include <climits>

namespace {

// The C runtime keeps its mapping of Win32 errors to itself.
void set_errno_from(DWORD error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: errno = ENOENT; break;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: errno = EACCES; break;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: errno = EEXIST; break;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: errno = ENOSPC; break;
    case ERROR_FILENAME_EXCED_RANGE: errno = ENAMETOOLONG; break;
    case ERROR_NOT_SAME_DEVICE: errno = EXDEV; break;
    default: errno = EIO; break;
    }
}

bool is_directory(const std::string &path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

HANDLE handle_of(std::FILE *stream) { return reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream))); }

// Replaces the trailing XXXXXX with letters and digits that differ from
// call to call and from process to process.
void fill_unique(std::string &pattern, unsigned attempt) {
    static const char alphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    std::uint64_t state = static_cast<std::uint64_t>(now.QuadPart) ^
                          (std::uint64_t{GetCurrentProcessId()} << 32) ^ attempt;
    for (std::size_t i = pattern.size() - 6; i < pattern.size(); ++i) {
        state = state * 6364136223846793005ull + 1442695040888963407ull;  // Knuth's MMIX step
        pattern[i] = alphabet[(state >> 33) % 36];
    }
}

std::FILE *stream_over(HANDLE file, const char *mode) {
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(file), 0);
    if (fd < 0) {
        CloseHandle(file);
        return nullptr;
    }
    std::FILE *stream = _fdopen(fd, mode);
    if (stream == nullptr) _close(fd);
    return stream;
}

}  // namespace

// The C runtime refuses a folder with EACCES; say what it is instead.
int open_input(const std::string &path) {
    const int fd = _open(path.c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
    if (fd < 0 && errno == EACCES && is_directory(path)) errno = EISDIR;
    return fd;
}

void close_input(int fd) { _close(fd); }

bool facts_of(int fd, file_facts &facts) {
    struct _stat64 info {};
    if (_fstat64(fd, &info) != 0) return false;
    const auto type = info.st_mode & _S_IFMT;
    facts.kind = type == _S_IFREG ? file_kind::regular : type == _S_IFDIR ? file_kind::directory : file_kind::special;
    facts.size = static_cast<std::uint64_t>(info.st_size);
    return true;
}

// Nothing else reads through fd, so a seek then a read is as good as pread.
long long read_at(int fd, void *to, std::size_t bytes, std::uint64_t offset) {
    if (_lseeki64(fd, static_cast<long long>(offset), SEEK_SET) < 0) return -1;
    return _read(fd, to, static_cast<unsigned>(bytes < INT_MAX ? bytes : INT_MAX));
}

// Devices such as NUL and CON have no attributes, so the handle is asked.
file_kind kind_at(const std::string &path) {
    const HANDLE file = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return file_kind::none;
    file_kind kind = file_kind::special;
    BY_HANDLE_FILE_INFORMATION info;
    if (GetFileType(file) == FILE_TYPE_DISK && GetFileInformationByHandle(file, &info)) {
        kind = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? file_kind::directory : file_kind::regular;
    }
    CloseHandle(file);
    return kind;
}

// Shared for deletion, so the interrupt handler can remove it while the
// main thread still holds it open.
std::FILE *create_new_file(std::string &pattern) {
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        fill_unique(pattern, attempt);
        const HANDLE file = CreateFileA(pattern.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                        CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            std::FILE *stream = stream_over(file, "wb");
            if (stream == nullptr) DeleteFileA(pattern.c_str());
            return stream;
        }
        if (GetLastError() != ERROR_FILE_EXISTS) break;
    }
    set_errno_from(GetLastError());
    return nullptr;
}

// The C runtime's tmpfile creates its file in the root of the drive,
// which ordinary users may not write; the user's temporary folder serves.
// Opening a device does not wait for a reader here.
std::FILE *open_device(const std::string &path) { return std::fopen(path.c_str(), "wb"); }

std::FILE *open_spool() {
    char folder[MAX_PATH + 1];
    char name[MAX_PATH + 1];
    const DWORD length = GetTempPathA(sizeof folder, folder);
    if (length == 0 || length > MAX_PATH || GetTempFileNameA(folder, "vel", 0, name) == 0) {
        set_errno_from(GetLastError());
        return nullptr;
    }
    const HANDLE file = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        set_errno_from(GetLastError());
        DeleteFileA(name);
        return nullptr;
    }
    return stream_over(file, "w+b");
}

bool flush_to_disk(std::FILE *stream) { return std::fflush(stream) == 0 && _commit(_fileno(stream)) == 0; }

// The C runtime's rename does not replace an existing file.
bool replace_file(const std::string &from, const std::string &to) {
    if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
    set_errno_from(GetLastError());
    return false;
}

// _isatty also says yes for NUL and other character devices; only a
// console is a terminal.
bool is_terminal(std::FILE *stream) {
    DWORD mode;
    return GetConsoleMode(handle_of(stream), &mode) != 0;
}

// Consoles before Windows 10 show escape sequences as text.
bool can_rewrite_line(std::FILE *stream) {
    const HANDLE console = handle_of(stream);
    DWORD mode;
    return GetConsoleMode(console, &mode) != 0 &&
           SetConsoleMode(console, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

void use_binary_mode(std::FILE *stream) { _setmode(_fileno(stream), _O_BINARY); }

// Windows has no SIGPIPE: a write to a closed pipe already fails.
void survive_closed_pipes() {}
