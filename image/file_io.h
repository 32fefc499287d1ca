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

// Renames from over to in one step, replacing an existing to. Returns 0 or an errno value.
int replace_file(const std::string& from, const std::string& to);

void remove_file(const std::string& path);

// The C library's text for an errno value.
std::string error_text(int err);
