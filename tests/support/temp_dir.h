#pragma once
// The files and folders tests work in: a temporary folder that removes itself, and whole files
// read, written and looked for, each reached at any length and by any UTF-8 name. Portable:
// the Windows tests use it as the native tests do.

#include <cstdint>
#include <string>
#include <vector>

// A whole file, or nothing when it cannot be read.
std::vector<std::uint8_t> read_file(const std::string& path);
// Writes bytes to path; a failure fails the running test and returns false.
bool write_file(const std::string& path, const std::vector<std::uint8_t>& bytes);
// Whether path names a file or a folder.
bool file_exists(const std::string& path);
// Makes the folder path (its parent must exist), at any length; a failure fails the running
// test and returns false.
bool make_folder(const std::string& path);

// A fresh empty folder under the system's temporary folder, removed with its contents when
// the object goes out of scope.
class TempDir {
   public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    // name inside the folder, joined with the platform's separator.
    std::string file(const std::string& name) const;

   private:
    std::string path_;
};
