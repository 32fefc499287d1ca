// The results of a run as the file system sees them: the calls that make each result durable,
// in their order, and two runs writing results of the same names at once.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/bmp_builder.h"
#include "tests/support/run_driver.h"

extern char** environ;

namespace {

const char* const kSuffixes[] = {"_lanczos3.bmp", "_hybrid.bmp", "_dct.bmp"};

std::vector<std::string> lines_of(const std::string& path) {
    const std::vector<std::uint8_t> bytes = read_file(path);
    std::istringstream in(std::string(bytes.begin(), bytes.end()));
    std::vector<std::string> lines;
    // strace -f starts each line with the thread's id.
    const std::regex thread_id(R"(^\d+ +)");
    for (std::string line; std::getline(in, line);)
        lines.push_back(std::regex_replace(line, thread_id, ""));
    return lines;
}

// The index of the first line at or after from that matches pattern, or lines.size().
std::size_t find_line(const std::vector<std::string>& lines, const std::regex& pattern,
                      std::size_t from = 0) {
    for (std::size_t i = from; i < lines.size(); ++i)
        if (std::regex_search(lines[i], pattern)) return i;
    return lines.size();
}

std::string regex_quote(const std::string& s) {
    return std::regex_replace(s, std::regex(R"([.^$|()\[\]{}*+?\\])"), R"(\$&)");
}

TEST(DurableResults, EachResultIsSyncedBeforeItsRenameAndItsFolderAfter) {
    if (std::system("strace -V >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "strace is not installed (scripts/install-deps.sh test installs it)";
    TempDir dir;
    write_file(dir.file("in.bmp"), encode_bmp(random_picture(9, 7, 3)));
    const std::string trace = dir.path() + ".strace";
    // -y names the file behind every descriptor, as the kernel resolves it.
    Outcome o = run_program(dir, ENLARGE3_EXE, {dir.file("in.bmp"), "12", "10"}, {},
                            "strace -f -qq -y -o " + shell_quote(trace) +
                                " -e trace=openat,write,fsync,fdatasync,close,rename,renameat,"
                                "renameat2");
    const std::vector<std::string> lines = lines_of(trace);
    std::filesystem::remove(trace);
    ASSERT_EQ(o.status, 0) << o.err;
    const std::string real_dir = std::filesystem::canonical(dir.path()).string();

    for (const char* suffix : kSuffixes) {
        SCOPED_TRACE(suffix);
        const std::string result = dir.file(std::string("in") + suffix);
        const std::string real_result = real_dir + "/in" + suffix;
        std::smatch m;
        const std::size_t created =
            find_line(lines, std::regex("^openat\\(.*O_CREAT.* = \\d+<(" +
                                        regex_quote(real_result) + "\\.[0-9a-f]{16}\\.tmp)>$"));
        ASSERT_LT(created, lines.size()) << "no temporary file was created for " << result;
        std::regex_search(lines[created], m, std::regex("<([^<>]*\\.tmp)>$"));
        const std::string temp = m[1];
        EXPECT_NE(lines[created].find("O_EXCL"), std::string::npos) << lines[created];
        EXPECT_NE(lines[created].find("O_NOFOLLOW"), std::string::npos) << lines[created];

        // The last write to the temporary file, then its sync, its rename, the folder's sync.
        const std::regex write_to_temp("^write\\(\\d+<" + regex_quote(temp) + ">");
        std::size_t last_write = lines.size();
        for (std::size_t i = find_line(lines, write_to_temp); i < lines.size();
             i = find_line(lines, write_to_temp, i + 1))
            last_write = i;
        ASSERT_LT(last_write, lines.size()) << "nothing was written to " << temp;
        const std::size_t synced =
            find_line(lines, std::regex("^f(data)?sync\\(\\d+<" + regex_quote(temp) + ">\\) = 0"));
        const std::string temp_name = temp.substr(real_dir.size() + 1);
        const std::size_t renamed =
            find_line(lines, std::regex("^rename(at2?)?\\(.*\"[^\"]*" + regex_quote(temp_name) +
                                        "\", .*\"" + regex_quote(result) + "\".* = 0"));
        ASSERT_LT(synced, lines.size()) << temp << " was never synced";
        ASSERT_LT(renamed, lines.size()) << temp << " was never renamed to " << result;
        const std::size_t folder_synced = find_line(
            lines, std::regex("^fsync\\(\\d+<" + regex_quote(real_dir) + ">\\) = 0"), renamed);
        EXPECT_LT(created, last_write);
        EXPECT_LT(last_write, synced) << "the data must be synced after its last byte";
        EXPECT_LT(synced, renamed) << "the data must be on the disk before the name points at it";
        EXPECT_LT(folder_synced, lines.size()) << "the folder was not synced after the rename";
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
