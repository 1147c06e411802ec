// POSIX backend: real files, read, lseek and mmap standing in for the
// Windows CE calls. File handles are descriptor + 1 so that 0 stays "none";
// a mapping object is a duplicate descriptor (its own handle to close, as on
// Windows); a view is preceded by one page that records its length, because
// unmapping, as on Windows, is given the view pointer alone.
// Offsets and sizes are 64-bit even on 32-bit targets, so files of 4 GiB and
// more open, and a seek reaches past 4 GiB.
#define _FILE_OFFSET_BITS 64

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "platform/platform.h"

namespace {

int descriptor_of(plat_handle handle) {
    if (handle == PLAT_NO_HANDLE || handle == PLAT_INVALID_HANDLE) return -1;
    return static_cast<int>(handle - 1);
}

plat_handle handle_of(int fd) { return static_cast<plat_handle>(fd) + 1; }

std::size_t page_size() { return static_cast<std::size_t>(sysconf(_SC_PAGESIZE)); }

// A path as the file system takes it: UTF-8 in a fixed buffer, so opening a
// file allocates nothing. The library hands over only paths that fit a
// source's 1024-byte field, whose wide form converts back to as many bytes
// or fewer; a longer one does not fit and is not opened. Kept this small
// because it lies on the stack of whatever thread opens a file.
struct native_path {
    char bytes[1024];
    std::size_t length = 0;
    bool push_back(char c) {
        if (length + 1 >= sizeof bytes) return false;
        bytes[length++] = c;
        bytes[length] = 0;
        return true;
    }
    const char *c_str() const { return bytes; }
};

// UTF-16 back to the UTF-8 bytes the file system takes.
bool wide_to_utf8(const plat_wchar *wide, native_path *out) {
    out->length = 0;
    out->bytes[0] = 0;
    bool fits = true;
    for (const plat_wchar *p = wide; *p != 0; ++p) {
        std::uint32_t c = *p;
        if (c >= 0xD800 && c <= 0xDBFF) {
            std::uint32_t low = p[1];
            if (low < 0xDC00 || low > 0xDFFF) return false;
            c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
            ++p;
        } else if (c >= 0xDC00 && c <= 0xDFFF) {
            return false;
        }
        if (c < 0x80) {
            fits &= out->push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            fits &= out->push_back(static_cast<char>(0xC0 | (c >> 6)));
            fits &= out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            fits &= out->push_back(static_cast<char>(0xE0 | (c >> 12)));
            fits &= out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            fits &= out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            fits &= out->push_back(static_cast<char>(0xF0 | (c >> 18)));
            fits &= out->push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
            fits &= out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            fits &= out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return fits;
}

// Decodes one UTF-8 sequence; returns its length, 0 when malformed.
int utf8_decode(const unsigned char *s, std::uint32_t *code) {
    if (s[0] < 0x80) { *code = s[0]; return 1; }
    int length = (s[0] & 0xE0) == 0xC0 ? 2 : (s[0] & 0xF0) == 0xE0 ? 3
               : (s[0] & 0xF8) == 0xF0 ? 4 : 0;
    if (length == 0) return 0;
    std::uint32_t c = s[0] & (0x7F >> length);
    for (int i = 1; i < length; ++i) {
        if ((s[i] & 0xC0) != 0x80) return 0;
        c = (c << 6) | (s[i] & 0x3F);
    }
    static const std::uint32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < smallest[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
    *code = c;
    return length;
}

bool is_regular_file(int fd) {
    struct stat st;
    return fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
}

// Only regular files open, as CreateFileW opens only disk files here. A FIFO
// without a writer would block a plain open for ever, and opening a device
// can act on it, so the path is looked at first; the open itself does not
// block and is checked again through the descriptor, in case the path was
// replaced in between. Reads then block as usual.
int open_regular_file(const char *path) {
    struct stat st;
    if (stat(path, &st) != 0 || !S_ISREG(st.st_mode)) return -1;
    int fd;
    do {
        fd = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return -1;
    const int flags = fcntl(fd, F_GETFL);
    if (!is_regular_file(fd) || flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

plat_handle open_read_only(const plat_wchar *path) {
    native_path narrow;
    if (path == nullptr || !wide_to_utf8(path, &narrow)) return PLAT_INVALID_HANDLE;
    const int fd = open_regular_file(narrow.c_str());
    return fd < 0 ? PLAT_INVALID_HANDLE : handle_of(fd);
}

}  // namespace

// Initial-exec: the word sits at a fixed offset in every thread's static
// block, which the loader sets up when the module is loaded (refusing the
// load if there is no room) and when a thread starts. The default model for
// a module loaded at run time would take each thread's copy from malloc at
// its first access and end the process when that fails.
namespace {
thread_local void *thread_word __attribute__((tls_model("initial-exec"))) = nullptr;
}  // namespace

void *plat_thread_value() { return thread_word; }

bool plat_set_thread_value(void *value) {
    thread_word = value;
    return true;
}

void *plat_local_alloc(std::uint32_t, std::size_t bytes) {
    if (plat_fault_injected(PLAT_OP_ALLOC)) return nullptr;
    return std::malloc(bytes == 0 ? 1 : bytes);
}

void plat_local_free(void *block) { std::free(block); }

// The active code page of this backend is UTF-8.
int plat_multibyte_to_wide(std::uint32_t, const char *narrow, plat_wchar *wide,
                           int capacity) {
    if (plat_fault_injected(PLAT_OP_TO_WIDE) || narrow == nullptr) return 0;
    const auto *s = reinterpret_cast<const unsigned char *>(narrow);
    int needed = 0;
    for (;;) {
        std::uint32_t code = 0;
        int length = *s == 0 ? 1 : utf8_decode(s, &code);
        if (length == 0) return 0;
        int units = code >= 0x10000 ? 2 : 1;
        if (capacity > 0) {
            if (needed + units > capacity) return 0;  // as ERROR_INSUFFICIENT_BUFFER
            if (units == 2) {
                wide[needed] = static_cast<plat_wchar>(0xD800 + ((code - 0x10000) >> 10));
                wide[needed + 1] = static_cast<plat_wchar>(0xDC00 + ((code - 0x10000) & 0x3FF));
            } else {
                wide[needed] = static_cast<plat_wchar>(code);
            }
        }
        needed += units;
        if (*s == 0) return needed;
        s += length;
    }
}

plat_handle plat_create_file(const plat_wchar *path, std::uint32_t access,
                             std::uint32_t, std::uint32_t creation,
                             std::uint32_t) {
    if (plat_fault_injected(PLAT_OP_OPEN)) return PLAT_INVALID_HANDLE;
    if (access != PLAT_GENERIC_READ || creation != PLAT_OPEN_EXISTING) return PLAT_INVALID_HANDLE;
    return open_read_only(path);
}

plat_handle plat_create_file_for_mapping(const plat_wchar *path,
                                         std::uint32_t access, std::uint32_t,
                                         std::uint32_t creation, std::uint32_t) {
    if (plat_fault_injected(PLAT_OP_OPEN_FOR_MAPPING)) return PLAT_INVALID_HANDLE;
    if (access != PLAT_GENERIC_READ || creation != PLAT_OPEN_EXISTING) return PLAT_INVALID_HANDLE;
    return open_read_only(path);
}

bool plat_set_file_pointer(plat_handle file, std::uint64_t distance, std::uint32_t method) {
    int fd = descriptor_of(file);
    if (plat_fault_injected(PLAT_OP_SEEK) || fd < 0 || method != PLAT_FILE_BEGIN) return false;
    return lseek(fd, static_cast<off_t>(distance), SEEK_SET) >= 0;
}

std::uint32_t plat_read_file(plat_handle file, void *buffer, std::uint32_t count) {
    int fd = descriptor_of(file);
    if (fd < 0 || buffer == nullptr) return 0;
    count = plat_fault_read_limit(count);
    std::uint32_t delivered = 0;
    while (delivered < count) {
        ssize_t got = read(fd, static_cast<char *>(buffer) + delivered, count - delivered);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;  // end of file, or an error: deliver what we have
        delivered += static_cast<std::uint32_t>(got);
    }
    return delivered;
}

plat_handle plat_create_file_mapping(plat_handle file, std::uint32_t protect) {
    int fd = descriptor_of(file);
    if (plat_fault_injected(PLAT_OP_MAPPING) || fd < 0 || protect != PLAT_PAGE_READONLY) return PLAT_NO_HANDLE;
    struct stat st;
    if (fstat(fd, &st) != 0 || st.st_size <= 0 || static_cast<unsigned long long>(st.st_size) > 0xFFFFFFFFull) return PLAT_NO_HANDLE;
    int copy = fcntl(fd, F_DUPFD_CLOEXEC, 0);
    return copy < 0 ? PLAT_NO_HANDLE : handle_of(copy);
}

const std::uint8_t *plat_map_view(plat_handle mapping, std::uint32_t access) {
    int fd = descriptor_of(mapping);
    if (plat_fault_injected(PLAT_OP_VIEW) || fd < 0 || access != PLAT_FILE_MAP_READ) return nullptr;
    struct stat st;
    if (fstat(fd, &st) != 0 || st.st_size <= 0) return nullptr;
    const std::size_t length = static_cast<std::size_t>(st.st_size);
    const std::size_t header = page_size();
    void *base = mmap(nullptr, header + length, PROT_READ | PROT_WRITE,
                      MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (base == MAP_FAILED) return nullptr;
    auto *view = static_cast<std::uint8_t *>(base) + header;
    if (mmap(view, length, PROT_READ, MAP_PRIVATE | MAP_FIXED, fd, 0) == MAP_FAILED) {
        munmap(base, header + length);
        return nullptr;
    }
    std::memcpy(base, &length, sizeof length);
    mprotect(base, header, PROT_READ);
    return view;
}

void plat_unmap_view(const std::uint8_t *view) {
    if (view == nullptr) return;
    const std::size_t header = page_size();
    auto *base = const_cast<std::uint8_t *>(view) - header;
    std::size_t length;
    std::memcpy(&length, base, sizeof length);
    munmap(base, header + length);
}

void plat_close_handle(plat_handle handle) {
    int fd = descriptor_of(handle);
    if (fd >= 0) close(fd);  // no retry on EINTR: the descriptor is gone either way
}

std::uint32_t plat_file_size(plat_handle file) {
    int fd = descriptor_of(file);
    struct stat st;
    if (plat_fault_injected(PLAT_OP_FILE_SIZE) || fd < 0 || fstat(fd, &st) != 0) return 0xFFFFFFFFu;
    return static_cast<std::uint32_t>(st.st_size);
}

bool plat_find_file_size(const plat_wchar *path, std::uint32_t *size) {
    native_path narrow;
    if (plat_fault_injected(PLAT_OP_FIND) || path == nullptr || !wide_to_utf8(path, &narrow)) return false;
    struct stat st;
    if (stat(narrow.c_str(), &st) != 0) return false;
    *size = static_cast<std::uint32_t>(st.st_size);  // the low size word
    return true;
}
