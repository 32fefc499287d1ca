#pragma once
// Paths as UTF-8 text, taken apart without asking the file system. A folder separator is '/'
// everywhere and also '\\' on Windows; elsewhere '\\' is an ordinary character of a name. The
// bytes of a path are kept as they are: nothing is normalised, so a path put back together from
// its parts names what it named.

#include <string>

// Whether c separates folders in a path on this platform.
bool is_path_separator(char c);

// The separator this platform writes when it joins a path: '\\' on Windows, '/' elsewhere.
char path_separator();

// What follows the last separator: "photos/cat.bmp" gives "cat.bmp", "cat.bmp" itself, and a
// path that ends in a separator ("photos/") gives "".
std::string path_file_name(const std::string& path);

// The folder that holds the path's last part: the path less that part and the separators
// before it, separators at its end ignored ("a/b/c", "a/b//c" and "a/b/c/" give "a/b"). A part
// right below the root keeps the root ("/a" gives "/"); a path of one part gives "".
std::string path_parent(const std::string& path);

// The file name less its extension, everything from its last dot on: "photos/cat.tar.png"
// gives "cat.tar", "scans.d/page" gives "page" and "photos/.png" gives "".
std::string path_stem(const std::string& path);

// name inside folder, with path_separator() between them unless folder is empty or already
// ends in a separator.
std::string path_join(const std::string& folder, const std::string& name);
