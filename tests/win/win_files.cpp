#include "win_files.h"

#include <windows.h>

#include <stdexcept>

std::string program_dir() {
    char path[MAX_PATH];
    const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string dir(path, n);
    return dir.substr(0, dir.find_last_of("\\/"));
}

std::string fixture_path(const std::string &name) { return program_dir() + "\\fixtures\\" + name; }

std::vector<std::uint8_t> read_bytes(const std::string &path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot open " + path);
    std::vector<std::uint8_t> bytes(GetFileSize(file, nullptr));
    DWORD got = 0;
    const BOOL ok = bytes.empty() || ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
    CloseHandle(file);
    if (!ok || got != bytes.size()) throw std::runtime_error("cannot read " + path);
    return bytes;
}

void write_bytes(const std::wstring &path, const std::vector<std::uint8_t> &bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot create a scratch file, error " + std::to_string(GetLastError()));
    DWORD put = 0;
    const BOOL ok = bytes.empty() || WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr);
    CloseHandle(file);
    if (!ok || put != bytes.size()) throw std::runtime_error("cannot write a scratch file");
}

std::string narrow_in_active_code_page(const std::wstring &wide) {
    BOOL lossy = FALSE;
    const int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.c_str(), -1, nullptr, 0,
                                      nullptr, &lossy);
    if (n <= 0 || lossy) return std::string();
    std::string narrow(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.c_str(), -1, &narrow[0], n, nullptr, &lossy);
    narrow.pop_back();  // the terminator
    return narrow;
}

std::wstring widen_ascii(const std::string &ascii) { return std::wstring(ascii.begin(), ascii.end()); }

scratch_dir::scratch_dir() {
    static unsigned made = 0;
    char temp[MAX_PATH];
    const DWORD n = GetTempPathA(MAX_PATH, temp);
    const std::string base = std::string(temp, n) + "velmora-test-" + std::to_string(GetCurrentProcessId());
    for (;;) {
        path_ = base + "-" + std::to_string(made++);
        if (CreateDirectoryA(path_.c_str(), nullptr)) return;
        if (GetLastError() != ERROR_ALREADY_EXISTS) throw std::runtime_error("cannot make " + path_);
    }
}

scratch_dir::~scratch_dir() {
    WIN32_FIND_DATAW found;
    const std::wstring dir = widen_ascii(path_);
    HANDLE search = FindFirstFileW((dir + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name != L"." && name != L"..") DeleteFileW((dir + L"\\" + name).c_str());
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(dir.c_str());
}
