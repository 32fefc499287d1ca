// The results of a run as the file system sees them: the calls that make each result durable,
// in their order, and two runs writing results of the same names at once.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/bmp_builder.h"
#include "tests/support/run_driver.h"
#include "tests/support/temp_dir.h"

extern char** environ;

namespace {

const char* const kSuffixes[] = {"_lanczos3.bmp", "_hybrid.bmp", "_dct.bmp"};

// One line of strace -f -y: a system call, its arguments and its result.
struct Call {
    std::string name;                  // "openat", "write", "fsync", "rename", ...
    std::string fd_path;               // the file behind the first argument, if a descriptor
    std::string made_path;             // the file behind the descriptor returned, if one
    std::vector<std::string> strings;  // the quoted arguments, in order
    std::string text;                  // the whole line
    bool succeeded = false;            // returned 0 or a descriptor
};

Call parse_call(const std::string& line) {
    Call c;
    // strace -f starts each line with the thread's id.
    std::size_t at = line.find_first_not_of("0123456789");
    if (at != std::string::npos && at > 0 && line[at] == ' ')
        at = line.find_first_not_of(' ', at);
    else
        at = 0;
    c.text = line.substr(at);
    const std::size_t paren = c.text.find('(');
    if (paren == std::string::npos) return c;
    c.name = c.text.substr(0, paren);
    // -y shows a descriptor as 3</path/of/file>.
    auto path_after_number = [&](std::size_t from) {
        const std::size_t lt = c.text.find_first_not_of("0123456789", from);
        if (lt == from || lt == std::string::npos || c.text[lt] != '<') return std::string();
        const std::size_t gt = c.text.find('>', lt);
        return gt == std::string::npos ? std::string() : c.text.substr(lt + 1, gt - lt - 1);
    };
    c.fd_path = path_after_number(paren + 1);
    const std::size_t result = c.text.rfind(" = ");
    if (result == std::string::npos) return c;
    c.succeeded = c.text.compare(result + 3, 1, "-") != 0;
    c.made_path = path_after_number(result + 3);
    for (std::size_t q = c.text.find('"', paren); q < result; q = c.text.find('"', q + 1)) {
        const std::size_t close = c.text.find('"', q + 1);
        if (close == std::string::npos || close > result) break;
        c.strings.push_back(c.text.substr(q + 1, close - q - 1));
        q = close;
    }
    return c;
}

std::vector<Call> calls_in(const std::string& trace) {
    const std::vector<std::uint8_t> bytes = read_file(trace);
    std::istringstream in(std::string(bytes.begin(), bytes.end()));
    std::vector<Call> calls;
    for (std::string line; std::getline(in, line);) calls.push_back(parse_call(line));
    return calls;
}

// The index of the first call at or after from for which match holds, or calls.size().
template <class Match>
std::size_t find_call(const std::vector<Call>& calls, Match match, std::size_t from = 0) {
    for (std::size_t i = from; i < calls.size(); ++i)
        if (match(calls[i])) return i;
    return calls.size();
}

bool ends_with(const std::string& s, const std::string& end) {
    return s.size() >= end.size() && s.compare(s.size() - end.size(), end.size(), end) == 0;
}

// Whether name is prefix + "." + 16 hexadecimal digits + ".tmp".
bool is_temporary_name_of(const std::string& name, const std::string& prefix) {
    if (name.size() != prefix.size() + 21 || name.compare(0, prefix.size(), prefix) != 0 ||
        name[prefix.size()] != '.' || !ends_with(name, ".tmp"))
        return false;
    const std::string digits = name.substr(prefix.size() + 1, 16);
    return digits.find_first_not_of("0123456789abcdef") == std::string::npos;
}

TEST(DurableResults, EachResultIsSyncedBeforeItsRenameAndItsFolderAfter) {
    if (std::system("strace -V >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "strace is not installed (scripts/install-deps.sh test installs it)";
    TempDir dir;
    write_file(dir.file("in.bmp"), encode_bmp(random_picture(9, 7, 3)));
    const std::string trace = dir.path() + ".strace";
    // LeakSanitizer cannot work under a tracer, and the sanitizer build would fail for that.
    const char* asan = std::getenv("ASAN_OPTIONS");
    const std::string asan_options =
        (asan != nullptr && *asan != '\0' ? std::string(asan) + ":" : "") + "detect_leaks=0";
    // -y names the file behind every descriptor, as the kernel resolves it.
    Outcome o = run_program(dir, ENLARGE3_EXE, {dir.file("in.bmp"), "12", "10"},
                            {{"ASAN_OPTIONS", asan_options}},
                            "strace -f -qq -y -o " + shell_quote(trace) +
                                " -e trace=openat,write,fsync,fdatasync,close,rename,renameat,"
                                "renameat2");
    const std::vector<Call> calls = calls_in(trace);
    std::filesystem::remove(trace);
    ASSERT_EQ(o.status, 0) << o.err;
    const std::string real_dir = std::filesystem::canonical(dir.path()).string();

    for (const char* suffix : kSuffixes) {
        SCOPED_TRACE(suffix);
        const std::string result = dir.file(std::string("in") + suffix);
        const std::size_t created = find_call(calls, [&](const Call& c) {
            return c.name == "openat" && c.succeeded &&
                   is_temporary_name_of(c.made_path, real_dir + "/in" + suffix);
        });
        ASSERT_LT(created, calls.size()) << "no temporary file was created for " << result;
        const std::string temp = calls[created].made_path;
        for (const char* flag : {"O_CREAT", "O_EXCL", "O_NOFOLLOW"})
            EXPECT_NE(calls[created].text.find(flag), std::string::npos) << calls[created].text;

        // The last write to the temporary file, then its sync, its rename, the folder's sync.
        std::size_t last_write = calls.size();
        for (std::size_t i = 0; i < calls.size(); ++i)
            if (calls[i].name == "write" && calls[i].fd_path == temp) last_write = i;
        ASSERT_LT(last_write, calls.size()) << "nothing was written to " << temp;
        const std::size_t synced = find_call(calls, [&](const Call& c) {
            return (c.name == "fsync" || c.name == "fdatasync") && c.fd_path == temp && c.succeeded;
        });
        const std::string temp_name = temp.substr(temp.rfind('/'));
        const std::size_t renamed = find_call(calls, [&](const Call& c) {
            return c.name.rfind("rename", 0) == 0 && c.succeeded && c.strings.size() == 2 &&
                   ends_with(c.strings[0], temp_name) && c.strings[1] == result;
        });
        ASSERT_LT(synced, calls.size()) << temp << " was never synced";
        ASSERT_LT(renamed, calls.size()) << temp << " was never renamed to " << result;
        const std::size_t folder_synced = find_call(
            calls,
            [&](const Call& c) {
                return c.name == "fsync" && c.fd_path == real_dir && c.succeeded;
            },
            renamed);
        EXPECT_LT(created, last_write);
        EXPECT_LT(last_write, synced) << "the data must be synced after its last byte";
        EXPECT_LT(synced, renamed) << "the data must be on the disk before the name points at it";
        EXPECT_LT(folder_synced, calls.size()) << "the folder was not synced after the rename";
    }
    EXPECT_EQ(files_in(dir.path()), (std::vector<std::string>{"in.bmp", "in_dct.bmp",
                                                              "in_hybrid.bmp", "in_lanczos3.bmp"}));
}

// Starts the driver with args, its output thrown away; returns the process id.
pid_t start_driver(const std::vector<std::string>& args) {
    std::vector<std::string> all = {ENLARGE3_EXE};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&quiet, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int err = posix_spawn(&pid, argv[0], &quiet, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&quiet);
    return err == 0 ? pid : -1;
}

int exit_status(pid_t pid) {
    int raw = 0;
    if (pid < 0 || waitpid(pid, &raw, 0) != pid) return -1;
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

TEST(DurableResults, TwoDriversWritingTheSameResultsEachFinishWithOneWholeResult) {
    const std::vector<std::uint8_t> picture = encode_bmp(random_picture(96, 72, 12));
    const std::vector<std::vector<std::string>> sizes = {{"480", "360"}, {"512", "384"}};
    // What each run writes when it runs alone.
    std::map<std::string, std::vector<std::vector<std::uint8_t>>> alone;
    for (const auto& size : sizes) {
        TempDir ref;
        write_file(ref.file("in.bmp"), picture);
        Outcome o = run_program(ref, ENLARGE3_EXE, {ref.file("in.bmp"), size[0], size[1]});
        ASSERT_EQ(o.status, 0) << o.err;
        for (const char* suffix : kSuffixes)
            alone[suffix].push_back(read_file(ref.file(std::string("in") + suffix)));
    }

    TempDir dir;
    write_file(dir.file("in.bmp"), picture);
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const pid_t first = start_driver({dir.file("in.bmp"), sizes[0][0], sizes[0][1]});
        const pid_t second = start_driver({dir.file("in.bmp"), sizes[1][0], sizes[1][1]});
        EXPECT_EQ(exit_status(first), 0);
        EXPECT_EQ(exit_status(second), 0);
        for (const char* suffix : kSuffixes) {
            const std::vector<std::uint8_t> got = read_file(dir.file(std::string("in") + suffix));
            EXPECT_TRUE(got == alone[suffix][0] || got == alone[suffix][1])
                << suffix << " is neither run's result (" << got.size() << " bytes)";
        }
        EXPECT_EQ(
            files_in(dir.path()),
            (std::vector<std::string>{"in.bmp", "in_dct.bmp", "in_hybrid.bmp", "in_lanczos3.bmp"}));
    }
}

}  // namespace
