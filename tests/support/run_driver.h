#pragma once
// Runs the command-line driver the way a user's shell does, and looks at what it left. The
// same tests run the Linux driver and, in the Windows build, enlarge3.exe.

#include <map>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

struct Outcome {
    int status = -1;  // exit status, -1 when the process did not exit normally (a signal, or
                      // on Windows an exception such as an access violation)
    std::string out, err;
};

// Runs exe with args (UTF-8) in this process's environment plus env, capturing both streams in
// files beside dir (removed afterwards). Windows' C library ends the lines of a text stream
// with CR LF; they come back as LF, so one expectation serves both platforms.
// prefix, when not empty, is shell code run before the program (e.g. "setpriv ...", "ulimit
// -f 64;"); it exists on POSIX only, and a test that needs it skips itself on Windows.
Outcome run_program(const TempDir& dir, const std::string& exe, const std::vector<std::string>& args,
                    const std::map<std::string, std::string>& env = {},
                    const std::string& prefix = "");

// As run_program, with standard error going into the same file as standard output: out holds
// both streams in the order the program wrote them, err stays empty.
Outcome run_program_one_stream(const TempDir& dir, const std::string& exe,
                               const std::vector<std::string>& args);

// The names in a folder (UTF-8), sorted.
std::vector<std::string> files_in(const std::string& folder);

std::string shell_quote(const std::string& s);

#ifdef _WIN32
// One argument of a Windows command line, quoted so that the C library's parser of the command
// line gives it back unchanged.
std::wstring windows_quote(const std::wstring& arg);
#endif
