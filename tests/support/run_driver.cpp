#include "tests/support/run_driver.h"

#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

std::string shell_quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

static std::string slurp(const std::string& path) {
    std::vector<std::uint8_t> b = read_file(path);
    return std::string(b.begin(), b.end());
}

Outcome run_program(const TempDir& dir, const std::string& exe, const std::vector<std::string>& args,
                    const std::map<std::string, std::string>& env, const std::string& prefix) {
    // The captured streams live beside the folder, not in it, so that they never show up
    // among the files a run leaves behind.
    const std::string out_file = dir.path() + ".out", err_file = dir.path() + ".err";
    std::string cmd;
    for (const auto& [name, value] : env) cmd += name + "=" + shell_quote(value) + " ";
    if (!prefix.empty()) cmd += prefix + " ";
    cmd += shell_quote(exe);
    for (const std::string& a : args) cmd += " " + shell_quote(a);
    cmd += " >" + shell_quote(out_file) + " 2>" + shell_quote(err_file);
    int raw = std::system(cmd.c_str());
    Outcome o;
    o.status = raw != -1 && WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    o.out = slurp(out_file);
    o.err = slurp(err_file);
    std::filesystem::remove(out_file);
    std::filesystem::remove(err_file);
    return o;
}

std::vector<std::string> files_in(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}
