#pragma once
// Runs the command-line driver the way a user's shell does, and looks at what it left.

#include <map>
#include <string>
#include <vector>

#include "tests/support/bmp_builder.h"

struct Outcome {
    int status = -1;  // exit status, -1 when the process did not exit normally
    std::string out, err;
};

// Runs exe with args in dir's environment plus env, capturing both streams in files of dir
// (removed afterwards). prefix, when not empty, goes before the program (e.g. "setpriv ...").
Outcome run_program(const TempDir& dir, const std::string& exe, const std::vector<std::string>& args,
                    const std::map<std::string, std::string>& env = {},
                    const std::string& prefix = "");

// The names in a folder, sorted.
std::vector<std::string> files_in(const std::string& folder);

std::string shell_quote(const std::string& s);
