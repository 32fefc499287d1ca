#include "base/file_io.h"

#include <cerrno>
#include <cstring>

#include "base/path.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

#ifdef _WIN32
int errno_from_windows(unsigned long code) {
    switch (code) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
            return ENOENT;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
            return EACCES;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return EEXIST;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return ENOSPC;
        case ERROR_FILENAME_EXCED_RANGE:
            return ENAMETOOLONG;
        case ERROR_WRITE_PROTECT:
            return EROFS;
        default:
            return EIO;
    }
}

std::wstring utf8_to_wide(const std::string& s) {
    if (s.empty()) return std::wstring();
    int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring w(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), &w[0], n);
    return w;
}

std::string wide_to_utf8(const std::wstring& w) {
    if (w.empty()) return std::string();
    int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0,
                                nullptr, nullptr);
    std::string s(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), &s[0], n, nullptr,
                        nullptr);
    return s;
}

std::wstring windows_file_path(const std::string& path) {
    std::wstring w = utf8_to_wide(path);
    // 12 characters below MAX_PATH is where folder calls already fail.
    if (w.size() < MAX_PATH - 12 || w.rfind(L"\\\\?\\", 0) == 0) return w;
    // The \\?\ form is taken literally: it needs a full path with backslashes and no "..".
    DWORD n = GetFullPathNameW(w.c_str(), 0, nullptr, nullptr);
    if (n == 0) return w;
    std::wstring full(n, L'\0');
    n = GetFullPathNameW(w.c_str(), n, &full[0], nullptr);
    full.resize(n);
    if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

FILE* open_file(const std::string& path, const char* mode) {
    return _wfopen(windows_file_path(path).c_str(), utf8_to_wide(mode).c_str());
}

// GetFileAttributesExW rather than _wstat64: the C library's stat refuses any path with a '?'
// in it, which every \\?\ path has.
FileKind file_kind(const std::string& path, std::uint64_t* length, int* err) {
    WIN32_FILE_ATTRIBUTE_DATA a;
    if (!GetFileAttributesExW(windows_file_path(path).c_str(), GetFileExInfoStandard, &a)) {
        if (err) *err = errno_from_windows(GetLastError());
        return FileKind::missing;
    }
    if (a.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return FileKind::directory;
    if (a.dwFileAttributes & FILE_ATTRIBUTE_DEVICE) return FileKind::other;
    if (length) *length = static_cast<std::uint64_t>(a.nFileSizeHigh) << 32 | a.nFileSizeLow;
    return FileKind::regular;
}

void remove_file(const std::string& path) {
    _wremove(windows_file_path(path).c_str());
}

bool seek_file(std::FILE* f, std::uint64_t offset) {
    return offset <= static_cast<std::uint64_t>(INT64_MAX) &&
           _fseeki64(f, static_cast<__int64>(offset), SEEK_SET) == 0;
}
#else
FILE* open_file(const std::string& path, const char* mode) {
    return std::fopen(path.c_str(), mode);
}

FileKind file_kind(const std::string& path, std::uint64_t* length, int* err) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0) {
        if (err) *err = errno;
        return FileKind::missing;
    }
    if (S_ISDIR(st.st_mode)) return FileKind::directory;
    if (!S_ISREG(st.st_mode)) return FileKind::other;
    if (length) *length = static_cast<std::uint64_t>(st.st_size);
    return FileKind::regular;
}

void remove_file(const std::string& path) {
    std::remove(path.c_str());
}

bool seek_file(std::FILE* f, std::uint64_t offset) {
    return offset <= static_cast<std::uint64_t>(INT64_MAX) &&
           fseeko(f, static_cast<off_t>(offset), SEEK_SET) == 0;
}
#endif

namespace {

// Makes the one folder path, whose parent exists; false with *err set otherwise.
bool make_one_folder(const std::string& path, int* err) {
#ifdef _WIN32
    if (CreateDirectoryW(windows_file_path(path).c_str(), nullptr)) return true;
    *err = errno_from_windows(GetLastError());
#else
    if (mkdir(path.c_str(), 0777) == 0) return true;
    *err = errno;
#endif
    return false;
}

}  // namespace

bool make_folders(const std::string& path, int* err) {
    int e = 0;
    const FileKind kind = file_kind(path, nullptr, &e);
    if (kind == FileKind::directory) return true;
    if (kind != FileKind::missing) {
        *err = ENOTDIR;
        return false;
    }
    // A path with no parent part ("out", "/a", "C:\\out") leaves nothing to make first.
    const std::string parent = path_parent(path);
#ifdef _WIN32
    // A drive (C: or \\?\C:) or the start of a long or device path (\\?).
    const bool is_root = parent.empty() || parent.back() == ':' ||
                         parent.find_first_not_of("\\/?.") == std::string::npos;
#else
    const bool is_root = parent.find_first_not_of('/') == std::string::npos;
#endif
    if (!is_root && !make_folders(parent, err)) return false;
    if (make_one_folder(path, err)) return true;
    // Another process may have made it meanwhile.
    if (file_kind(path, nullptr, &e) == FileKind::directory) return true;
    return false;
}

std::string error_text(int err) {
    return std::strerror(err);
}

void print_text(std::FILE* stream, const std::string& text) {
#ifdef _WIN32
    HANDLE console = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    DWORD mode = 0;
    if (console != INVALID_HANDLE_VALUE && GetConsoleMode(console, &mode)) {
        // Whatever the C library still holds goes first, so lines keep their order.
        std::fflush(stream);
        const std::wstring wide = utf8_to_wide(text);
        const wchar_t* at = wide.data();
        DWORD left = static_cast<DWORD>(wide.size());
        while (left > 0) {
            DWORD written = 0;
            if (!WriteConsoleW(console, at, left, &written, nullptr) || written == 0) break;
            at += written;
            left -= written;
        }
        return;
    }
#endif
    std::fputs(text.c_str(), stream);
}
