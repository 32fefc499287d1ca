#pragma once
// Runs the command-line driver the way a user's shell does, and looks at what it left. The
// same tests run the Linux driver and, in the Windows build, enlarge3.exe.

#include <functional>
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

// How a program that was interrupted ended.
struct Interrupted {
    bool marker_seen = false;
    int signal = 0;   // POSIX: the signal that ended it, 0 when it exited
    int status = -1;  // its exit status when it exited (Windows: the exit code, all 32 bits)
    std::string err;  // everything it wrote on standard error
};

// Runs exe with args in this process's environment plus env, its standard output thrown away,
// and reads its standard error until a line holding marker; then calls at_marker and sends the
// program the signals in signals, in that order and at once, and waits for its end. On POSIX
// the program is held (SIGSTOP) from the marker until the signals are pending, so that
// at_marker sees its files as they were at the marker and all the signals arrive together. On
// Windows every signal is a Ctrl-C of the console, the one console event Wine can send
// (GenerateConsoleCtrlEvent refuses Ctrl-Break there); the test then has a console of its own,
// shared with the program and no other, for the duration of the call, and the program is not
// held. When marker never comes, the program runs to its end and nothing is sent.
Interrupted interrupt_program(const std::string& exe, const std::vector<std::string>& args,
                              const std::map<std::string, std::string>& env,
                              const std::string& marker, const std::vector<int>& signals,
                              const std::function<void()>& at_marker);

// The names in a folder (UTF-8), sorted.
std::vector<std::string> files_in(const std::string& folder);

std::string shell_quote(const std::string& s);

#ifdef _WIN32
// One argument of a Windows command line, quoted so that the C library's parser of the command
// line gives it back unchanged.
std::wstring windows_quote(const std::wstring& arg);
#endif
