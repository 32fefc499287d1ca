#include "image/file_io.h"

#include <cerrno>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#include <sys/stat.h>
#include <sys/types.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

#ifdef _WIN32
static std::wstring widen(const std::string& s) {
    if (s.empty()) return std::wstring();
    int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring w(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), &w[0], n);
    return w;
}

FILE* open_file(const std::string& path, const char* mode) {
    return _wfopen(widen(path).c_str(), widen(mode).c_str());
}

FileKind file_kind(const std::string& path, std::uint64_t* length, int* err) {
    struct _stat64 st;
    if (_wstat64(widen(path).c_str(), &st) != 0) {
        if (err) *err = errno;
        return FileKind::missing;
    }
    if (st.st_mode & _S_IFDIR) return FileKind::directory;
    if (!(st.st_mode & _S_IFREG)) return FileKind::other;
    if (length) *length = static_cast<std::uint64_t>(st.st_size);
    return FileKind::regular;
}

int replace_file(const std::string& from, const std::string& to) {
    if (MoveFileExW(widen(from).c_str(), widen(to).c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return 0;
    return GetLastError() == ERROR_ACCESS_DENIED ? EACCES : EIO;
}

void remove_file(const std::string& path) { _wremove(widen(path).c_str()); }
#else
FILE* open_file(const std::string& path, const char* mode) { return std::fopen(path.c_str(), mode); }

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

int replace_file(const std::string& from, const std::string& to) {
    return std::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

void remove_file(const std::string& path) { std::remove(path.c_str()); }
#endif

std::string error_text(int err) { return std::strerror(err); }
