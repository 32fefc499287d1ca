#include "tests/support/run_driver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>

#include "base/file_io.h"

#ifdef _WIN32
#include <windows.h>

#include <cwchar>
#else
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

extern char** environ;
#endif

std::string shell_quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

namespace {

std::string slurp(const std::string& path) {
    std::vector<std::uint8_t> b = read_file(path);
    return std::string(b.begin(), b.end());
}

#ifdef _WIN32
std::string without_carriage_returns(const std::string& s) {
    std::string t;
    for (std::size_t i = 0; i < s.size(); ++i)
        if (!(s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n')) t += s[i];
    return t;
}

// This process's environment with env put in, as CreateProcessW takes it: "NAME=value" strings
// each ended by a zero, and one more zero at the end. Windows compares names without case.
std::vector<wchar_t> environment_with(const std::map<std::string, std::string>& env) {
    std::vector<std::wstring> names;
    for (const auto& entry : env) names.push_back(utf8_to_wide(entry.first));
    std::vector<wchar_t> block;
    wchar_t* own = GetEnvironmentStringsW();
    for (const wchar_t* p = own; *p != L'\0'; p += std::wcslen(p) + 1) {
        const std::wstring entry = p;
        // Entries such as "=C:=C:\dir" begin with '=': the name's end is the next one.
        const std::wstring name = entry.substr(0, entry.find(L'=', 1));
        bool replaced = false;
        for (const std::wstring& n : names)
            replaced = replaced || _wcsicmp(n.c_str(), name.c_str()) == 0;
        if (!replaced) block.insert(block.end(), entry.c_str(), entry.c_str() + entry.size() + 1);
    }
    FreeEnvironmentStringsW(own);
    for (const auto& [name, value] : env) {
        const std::wstring entry = utf8_to_wide(name + "=" + value);
        block.insert(block.end(), entry.c_str(), entry.c_str() + entry.size() + 1);
    }
    block.push_back(L'\0');
    return block;
}

HANDLE inheritable_file(const std::string& path, bool write) {
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    return CreateFileW(windows_file_path(path).c_str(), write ? GENERIC_WRITE : GENERIC_READ,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inherit,
                       write ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Starts exe with args and env, its standard streams the handles given. flags adds to
// CREATE_UNICODE_ENVIRONMENT.
bool start_windows(const std::string& exe, const std::vector<std::string>& args,
                   const std::map<std::string, std::string>& env, HANDLE in, HANDLE out,
                   HANDLE err, DWORD flags, PROCESS_INFORMATION* process) {
    STARTUPINFOW start = {};
    start.cb = sizeof start;
    start.dwFlags = STARTF_USESTDHANDLES;
    start.hStdInput = in;
    start.hStdOutput = out;
    start.hStdError = err;
    const std::wstring program = utf8_to_wide(exe);
    std::wstring command = windows_quote(program);
    for (const std::string& a : args) command += L" " + windows_quote(utf8_to_wide(a));
    std::vector<wchar_t> environment = environment_with(env);
    *process = {};
    return CreateProcessW(program.c_str(), &command[0], nullptr, nullptr, TRUE,
                          CREATE_UNICODE_ENVIRONMENT | flags, environment.data(), nullptr, &start,
                          process) != 0;
}

// Started without a console of its own (CREATE_NO_WINDOW): the streams are the files, and no
// console window opens for a test.
int run_windows(const std::string& exe, const std::vector<std::string>& args,
                const std::map<std::string, std::string>& env, const std::string& out_file,
                const std::string& err_file) {
    HANDLE in = inheritable_file("NUL", false);
    HANDLE out = inheritable_file(out_file, true);
    HANDLE err = err_file.empty() ? out : inheritable_file(err_file, true);
    EXPECT_NE(out, INVALID_HANDLE_VALUE) << out_file;
    EXPECT_NE(err, INVALID_HANDLE_VALUE) << err_file;
    PROCESS_INFORMATION process;
    int status = -1;
    if (start_windows(exe, args, env, in, out, err, CREATE_NO_WINDOW, &process)) {
        WaitForSingleObject(process.hProcess, INFINITE);
        DWORD code = 0;
        // Exit codes from 0xC0000000 up are exceptions that ended the process, not statuses.
        if (GetExitCodeProcess(process.hProcess, &code) && code < 0xC0000000u)
            status = static_cast<int>(code);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    } else {
        ADD_FAILURE() << "cannot start " << exe << ": error " << GetLastError();
    }
    CloseHandle(in);
    if (err != out) CloseHandle(err);
    CloseHandle(out);
    return status;
}
#endif

Outcome run(const TempDir& dir, const std::string& exe, const std::vector<std::string>& args,
            const std::map<std::string, std::string>& env, const std::string& prefix,
            bool one_stream) {
    // The captured streams live beside the folder, not in it, so that they never show up
    // among the files a run leaves behind. Every run takes new names: under Wine a file deleted
    // while the last run's handles are still being closed can vanish again after it has been
    // created anew under the same name, taking the next run's output with it.
    static std::atomic<unsigned> runs{0};
    const std::string stem = dir.path() + "." + std::to_string(runs++);
    const std::string out_file = stem + ".out", err_file = stem + ".err";
    Outcome o;
#ifdef _WIN32
    EXPECT_EQ(prefix, "") << "shell code before a program exists on POSIX only";
    o.status = run_windows(exe, args, env, out_file, one_stream ? "" : err_file);
    o.out = without_carriage_returns(slurp(out_file));
    o.err = without_carriage_returns(slurp(err_file));
#else
    std::string cmd;
    for (const auto& [name, value] : env) cmd += name + "=" + shell_quote(value) + " ";
    if (!prefix.empty()) cmd += prefix + " ";
    cmd += shell_quote(exe);
    for (const std::string& a : args) cmd += " " + shell_quote(a);
    cmd += " >" + shell_quote(out_file) + (one_stream ? " 2>&1" : " 2>" + shell_quote(err_file));
    int raw = std::system(cmd.c_str());
    o.status = raw != -1 && WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    o.out = slurp(out_file);
    o.err = slurp(err_file);
#endif
    remove_file(out_file);
    remove_file(err_file);
    return o;
}

// Reads a program's standard error into *err until a whole line holding marker has come
// (true) or the program closed the stream (false). read_some returns a count, 0 at the end.
bool read_until_marker(const std::function<long(char*, std::size_t)>& read_some, std::string* err,
                       const std::string& marker) {
    char buffer[4096];
    for (;;) {
        const std::size_t at = err->find(marker);
        if (at != std::string::npos && err->find('\n', at) != std::string::npos) return true;
        const long n = read_some(buffer, sizeof buffer);
        if (n <= 0) return false;
        err->append(buffer, static_cast<std::size_t>(n));
    }
}

#ifdef _WIN32
BOOL WINAPI survive_ctrl_c(DWORD) {
    return TRUE;
}
#endif

}  // namespace

#ifdef _WIN32
Interrupted interrupt_program(const std::string& exe, const std::vector<std::string>& args,
                              const std::map<std::string, std::string>& env,
                              const std::string& marker, const std::vector<int>& signals,
                              const std::function<void()>& at_marker) {
    Interrupted r;
    // A Ctrl-C reaches every process of a console: a new one holds this test and the program
    // only, never the test's caller.
    FreeConsole();
    if (!AllocConsole()) {
        ADD_FAILURE() << "no console of its own: error " << GetLastError();
        return r;
    }
    SetConsoleCtrlHandler(survive_ctrl_c, TRUE);
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE read_end = nullptr, write_end = nullptr;
    CreatePipe(&read_end, &write_end, &inherit, 0);
    SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
    HANDLE in = inheritable_file("NUL", false);
    HANDLE out = inheritable_file("NUL", true);
    PROCESS_INFORMATION process;
    // In the test's console (no CREATE_NO_WINDOW), so that its Ctrl-C reaches the program.
    const bool started = start_windows(exe, args, env, in, out, write_end, 0, &process);
    CloseHandle(write_end);
    CloseHandle(in);
    CloseHandle(out);
    if (started) {
        auto read_some = [read_end](char* buffer, std::size_t n) -> long {
            DWORD done = 0;
            if (!ReadFile(read_end, buffer, static_cast<DWORD>(n), &done, nullptr)) return 0;
            return static_cast<long>(done);
        };
        r.marker_seen = read_until_marker(read_some, &r.err, marker);
        if (r.marker_seen) {
            if (at_marker) at_marker();
            for (std::size_t i = 0; i < signals.size(); ++i)
                GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0);
        }
        char buffer[4096];
        for (long n; (n = read_some(buffer, sizeof buffer)) > 0;)
            r.err.append(buffer, static_cast<std::size_t>(n));
        WaitForSingleObject(process.hProcess, INFINITE);
        DWORD code = 0;
        GetExitCodeProcess(process.hProcess, &code);
        r.status = static_cast<int>(code);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    } else {
        ADD_FAILURE() << "cannot start " << exe << ": error " << GetLastError();
    }
    CloseHandle(read_end);
    SetConsoleCtrlHandler(survive_ctrl_c, FALSE);
    FreeConsole();
    r.err = without_carriage_returns(r.err);
    return r;
}
#else
Interrupted interrupt_program(const std::string& exe, const std::vector<std::string>& args,
                              const std::map<std::string, std::string>& env,
                              const std::string& marker, const std::vector<int>& signals,
                              const std::function<void()>& at_marker) {
    Interrupted r;
    // Everything the child needs is made before the fork: after it only exec may follow.
    std::vector<std::string> strings = {exe};
    strings.insert(strings.end(), args.begin(), args.end());
    const std::size_t first_variable = strings.size();
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        if (env.count(entry.substr(0, entry.find('='))) == 0) strings.push_back(entry);
    }
    for (const auto& [name, value] : env) strings.push_back(name + "=" + value);
    std::vector<char*> argv, envp;
    for (std::size_t i = 0; i < strings.size(); ++i)
        (i < first_variable ? argv : envp).push_back(&strings[i][0]);
    argv.push_back(nullptr);
    envp.push_back(nullptr);
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        ADD_FAILURE() << "no pipe";
        return r;
    }
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], 2);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        execve(exe.c_str(), argv.data(), envp.data());
        _exit(127);
    }
    close(fds[1]);
    auto read_some = [&fds](char* buffer, std::size_t n) -> long {
        ssize_t done;
        do done = read(fds[0], buffer, n);
        while (done < 0 && errno == EINTR);
        return static_cast<long>(done);
    };
    int status = 0;
    bool ended = false;
    r.marker_seen = read_until_marker(read_some, &r.err, marker);
    if (r.marker_seen) {
        kill(pid, SIGSTOP);
        // Held once waitpid says so, unless it ended first.
        waitpid(pid, &status, WUNTRACED);
        ended = !WIFSTOPPED(status);
        if (!ended) {
            if (at_marker) at_marker();
            for (int sig : signals) kill(pid, sig);
            kill(pid, SIGCONT);
        }
    }
    char buffer[4096];
    for (long n; (n = read_some(buffer, sizeof buffer)) > 0;)
        r.err.append(buffer, static_cast<std::size_t>(n));
    close(fds[0]);
    if (!ended) waitpid(pid, &status, 0);
    if (WIFSIGNALED(status)) r.signal = WTERMSIG(status);
    if (WIFEXITED(status)) r.status = WEXITSTATUS(status);
    return r;
}
#endif

#ifdef _WIN32
std::wstring windows_quote(const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) return arg;
    // Backslashes are literal except in a run that ends at a quote, where each pair gives one
    // backslash; the quote itself then needs one more. A run at the very end comes before the
    // closing quote, so it is doubled too.
    std::wstring q = L"\"";
    std::size_t i = 0;
    for (;;) {
        std::size_t backslashes = 0;
        for (; i < arg.size() && arg[i] == L'\\'; ++i) ++backslashes;
        if (i == arg.size()) {
            q.append(2 * backslashes, L'\\');
            break;
        }
        q.append(arg[i] == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        q += arg[i++];
    }
    return q + L"\"";
}
#endif

Outcome run_program(const TempDir& dir, const std::string& exe,
                    const std::vector<std::string>& args,
                    const std::map<std::string, std::string>& env, const std::string& prefix) {
    return run(dir, exe, args, env, prefix, false);
}

Outcome run_program_one_stream(const TempDir& dir, const std::string& exe,
                               const std::vector<std::string>& args) {
    return run(dir, exe, args, {}, "", true);
}

std::vector<std::string> files_in(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(std::filesystem::u8path(folder)))
        names.push_back(e.path().filename().u8string());
    std::sort(names.begin(), names.end());
    return names;
}
