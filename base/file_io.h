#pragma once
// File access by UTF-8 path on every platform. Windows' narrow C calls take the ANSI code page,
// which cannot name every file a user may drop, so there the paths go through the wide calls.

#include <cstdint>
#include <cstdio>
#include <string>

FILE* open_file(const std::string& path, const char* mode);

enum class FileKind { missing, regular, directory, other };

// What path names; for a regular file also its length in bytes. err receives errno when the
// path cannot be examined (FileKind::missing).
FileKind file_kind(const std::string& path, std::uint64_t* length, int* err);

void remove_file(const std::string& path);

// Moves f to byte offset of its file, past 2 GiB too (fseek takes a long, which is 32 bits on
// Windows); false when it cannot.
bool seek_file(std::FILE* f, std::uint64_t offset);

// Makes the folder path and any of its parents that are missing, as "mkdir -p" does; true when
// path is a folder afterwards. On failure err receives the errno value of the step that failed
// (ENOTDIR when a part of the path is a file).
bool make_folders(const std::string& path, int* err);

// The C library's text for an errno value.
std::string error_text(int err);

// Writes UTF-8 text to stream (stdout or stderr). A Windows console gets it in UTF-16, since
// its code page may lack characters of a file name; files, pipes and every stream elsewhere
// get the UTF-8 bytes.
void print_text(std::FILE* stream, const std::string& text);

#ifdef _WIN32
// The errno value closest to a Windows error code (GetLastError), EIO for the unusual ones.
int errno_from_windows(unsigned long code);

// Conversions for Windows' wide-character calls.
std::wstring utf8_to_wide(const std::string& s);
std::string wide_to_utf8(const std::wstring& w);

// A UTF-8 path in the form Windows' wide file calls take. A path too long for MAX_PATH is made
// absolute and given the \\?\ prefix, the one form those calls accept at any length.
std::wstring windows_file_path(const std::string& path);
#endif
