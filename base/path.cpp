#include "base/path.h"

bool is_path_separator(char c) {
#ifdef _WIN32
    return c == '/' || c == '\\';
#else
    return c == '/';
#endif
}

char path_separator() {
#ifdef _WIN32
    return '\\';
#else
    return '/';
#endif
}

namespace {

// Where the last part of path begins: just after its last separator, 0 when it has none.
std::size_t file_name_start(const std::string& path) {
    std::size_t at = path.size();
    while (at > 0 && !is_path_separator(path[at - 1])) --at;
    return at;
}

}  // namespace

std::string path_file_name(const std::string& path) {
    return path.substr(file_name_start(path));
}

std::string path_parent(const std::string& path) {
    std::size_t end = path.size();
    while (end > 0 && is_path_separator(path[end - 1])) --end;
    while (end > 0 && !is_path_separator(path[end - 1])) --end;
    const std::size_t root = end;  // the last part's separators end here
    while (end > 0 && is_path_separator(path[end - 1])) --end;
    return path.substr(0, end > 0 ? end : root);
}

std::string path_stem(const std::string& path) {
    const std::string name = path_file_name(path);
    return name.substr(0, name.find_last_of('.'));
}

std::string path_join(const std::string& folder, const std::string& name) {
    if (folder.empty() || is_path_separator(folder.back())) return folder + name;
    return folder + path_separator() + name;
}
