#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <system_error>

#include "base/file_io.h"

#ifdef _WIN32
#include <windows.h>
#endif

std::vector<std::uint8_t> read_file(const std::string& path) {
    std::vector<std::uint8_t> bytes;
    FILE* f = open_file(path, "rb");
    if (!f) return bytes;
    std::uint8_t buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) bytes.insert(bytes.end(), buf, buf + n);
    std::fclose(f);
    return bytes;
}

bool write_file(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    FILE* f = open_file(path, "wb");
    bool good = f != nullptr &&
                (bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size());
    if (f != nullptr) good = std::fclose(f) == 0 && good;
    if (!good) ADD_FAILURE() << "cannot write " << path;
    return good;
}

bool file_exists(const std::string& path) {
    std::uint64_t length = 0;
    int err = 0;
    return file_kind(path, &length, &err) != FileKind::missing;
}

bool make_folder(const std::string& path) {
#ifdef _WIN32
    const bool made = CreateDirectoryW(windows_file_path(path).c_str(), nullptr) != 0;
#else
    std::error_code ec;
    const bool made = std::filesystem::create_directory(path, ec);
#endif
    if (!made) ADD_FAILURE() << "cannot make the folder " << path;
    return made;
}

TempDir::TempDir() {
    // A name nobody else picks: creating the folder fails if it exists, so a clash only costs
    // another try.
    static std::atomic<unsigned> made{0};
    std::random_device entropy;
    std::mt19937_64 rng(
        entropy() ^
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    for (;;) {
        const std::filesystem::path dir =
            base /
            ("enlarge3-test-" + std::to_string(rng() % 1000000000u) + "-" + std::to_string(made++));
        std::error_code ec;
        if (std::filesystem::create_directory(dir, ec)) {
            path_ = dir.u8string();
            return;
        }
        if (ec) {
            // No test can run without its folder.
            std::fprintf(stderr, "cannot make a folder in %s: %s\n", base.u8string().c_str(),
                         ec.message().c_str());
            std::abort();
        }
    }
}

namespace {

#ifdef _WIN32
// The wide calls, through windows_file_path, also reach what lies deeper than MAX_PATH, where
// std::filesystem gives up here.
void remove_tree(const std::string& path) {
    WIN32_FIND_DATAW found;
    HANDLE h = FindFirstFileW(windows_file_path(path + "\\*").c_str(), &found);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::string child = path + "\\" + wide_to_utf8(name);
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                remove_tree(child);
            } else {
                SetFileAttributesW(windows_file_path(child).c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(windows_file_path(child).c_str());
            }
        } while (FindNextFileW(h, &found));
        FindClose(h);
    }
    RemoveDirectoryW(windows_file_path(path).c_str());
}
#else
void remove_tree(const std::string& path) {
    std::error_code ec;
    // Tests may remove permissions to provoke errors; give them back before removing.
    std::filesystem::permissions(path, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path, ec);
}
#endif

}  // namespace

TempDir::~TempDir() {
    remove_tree(path_);
}

std::string TempDir::file(const std::string& name) const {
    return path_ + static_cast<char>(std::filesystem::path::preferred_separator) + name;
}
