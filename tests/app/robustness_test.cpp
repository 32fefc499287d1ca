// Whatever a file holds, the driver gives one clear line and a non-zero exit, and creates or
// changes no result file.

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <filesystem>

#ifdef _WIN32
#include <windows.h>

#include "base/file_io.h"
#endif

#include "tests/support/bmp_builder.h"
#include "tests/support/malformed.h"
#include "tests/support/run_driver.h"
#include "tests/support/temp_dir.h"

namespace {

const char* const kResults[] = {"in_lanczos3.bmp", "in_hybrid.bmp", "in_dct.bmp"};

// Earlier results that a refused run must leave exactly as they were.
void plant_old_results(const TempDir& dir) {
    for (const char* name : kResults) write_file(dir.file(name), {'o', 'l', 'd'});
}

void expect_old_results_untouched(const TempDir& dir, const std::vector<std::string>& before) {
    EXPECT_EQ(files_in(dir.path()), before);
    for (const char* name : kResults)
        EXPECT_EQ(read_file(dir.file(name)), (std::vector<std::uint8_t>{'o', 'l', 'd'})) << name;
}

std::string dir_join(const std::string& folder, const std::string& name) {
    return folder + static_cast<char>(std::filesystem::path::preferred_separator) + name;
}

// One line; "InputFileSizeError!!!", the original's words, has the line that explains it below.
void expect_one_clear_line(const Outcome& o) {
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.out, "");
    ASSERT_FALSE(o.err.empty());
    const bool original = o.err.rfind("InputFileSizeError!!!\n", 0) == 0;
    EXPECT_EQ(std::count(o.err.begin(), o.err.end(), '\n'), original ? 2 : 1) << o.err;
    EXPECT_EQ(o.err.back(), '\n');
}


class MalformedPicture : public ::testing::TestWithParam<MalformedFile> {};

TEST_P(MalformedPicture, IsRefusedWithOneLineAndNothingWritten) {
    const MalformedFile& m = GetParam();
    TempDir dir;
    write_file(dir.file("in.bmp"), m.bytes);
    plant_old_results(dir);
    std::vector<std::string> before = files_in(dir.path());
    Outcome o = run_program(dir, ENLARGE3_EXE, {dir.file("in.bmp"), "12", "9"});
    expect_one_clear_line(o);
    EXPECT_NE(o.err.find(m.says), std::string::npos) << o.err;
    expect_old_results_untouched(dir, before);
}

INSTANTIATE_TEST_SUITE_P(Corpus, MalformedPicture, ::testing::ValuesIn(malformed_files()),
                         [](const auto& p) { return p.param.name; });

class FlawedPicture : public ::testing::TestWithParam<FlawedFile> {};

// Read as other viewers read it: the results of the well-formed picture, and at most a line
// that says what was passed over.
TEST_P(FlawedPicture, GivesTheResultsOfTheWellFormedOne) {
    const FlawedFile& f = GetParam();
    TempDir dir;
    write_file(dir.file("in.bmp"), f.bytes);
    write_file(dir.file("ref.bmp"), f.well_formed);
    const std::vector<std::string> args = {"--method", "lanczos3", "--format", "bmp"};
    std::vector<std::string> in = args, ref = args;
    in.insert(in.end(), {dir.file("in.bmp"), "9", "7"});
    ref.insert(ref.end(), {dir.file("ref.bmp"), "9", "7"});
    const Outcome o = run_program(dir, ENLARGE3_EXE, in);
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.err, f.notice.empty() ? "" : "'" + dir.file("in.bmp") + "' has " + f.notice + "\n");
    ASSERT_EQ(run_program(dir, ENLARGE3_EXE, ref).status, 0);
    EXPECT_EQ(read_file(dir.file("in_lanczos3.bmp")), read_file(dir.file("ref_lanczos3.bmp")));
}

INSTANTIATE_TEST_SUITE_P(Corpus, FlawedPicture, ::testing::ValuesIn(flawed_files()),
                         [](const auto& p) { return p.param.name; });

TEST(Robustness, FolderInsteadOfPicture) {
    TempDir dir;
    make_folder(dir.file("in.bmp"));
    plant_old_results(dir);
    std::vector<std::string> before = files_in(dir.path());
    Outcome o = run_program(dir, ENLARGE3_EXE, {dir.file("in.bmp"), "12", "9"});
    expect_one_clear_line(o);
    EXPECT_NE(o.err.find("directory"), std::string::npos) << o.err;
    expect_old_results_untouched(dir, before);
}

TEST(Robustness, PictureWithoutReadPermission) {
#ifdef _WIN32
    GTEST_SKIP() << "POSIX permissions and running as another user (setpriv) do not exist on "
                    "Windows; Robustness.PictureHeldOpenByAnotherProgram is its case there";
#else
    TempDir dir;
    write_file(dir.file("in.bmp"), encode_bmp(random_picture(6, 5, 1)));
    plant_old_results(dir);
    ASSERT_EQ(chmod(dir.file("in.bmp").c_str(), 0), 0);
    std::vector<std::string> before = files_in(dir.path());
    // Root reads anything, so as root the driver runs as nobody (who may enter the folder).
    std::string prefix;
    if (geteuid() == 0) {
        if (std::system("command -v setpriv >/dev/null 2>&1") != 0)
            GTEST_SKIP() << "running as root without setpriv";
        ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
        prefix = "setpriv --reuid=65534 --regid=65534 --clear-groups";
    }
    Outcome o = run_program(dir, ENLARGE3_EXE, {dir.file("in.bmp"), "12", "9"}, {}, prefix);
    expect_one_clear_line(o);
    EXPECT_NE(o.err.find("Permission denied"), std::string::npos) << o.err;
    expect_old_results_untouched(dir, before);
#endif
}

TEST(Robustness, PictureHeldOpenByAnotherProgram) {
#ifndef _WIN32
    GTEST_SKIP() << "POSIX has no share modes: another program's open file can always be read";
#else
    TempDir dir;
    write_file(dir.file("in.bmp"), encode_bmp(random_picture(6, 5, 1)));
    plant_old_results(dir);
    std::vector<std::string> before = files_in(dir.path());
    HANDLE held = CreateFileW(windows_file_path(dir.file("in.bmp")).c_str(), GENERIC_READ, 0,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    Outcome o = run_program(dir, ENLARGE3_EXE, {dir.file("in.bmp"), "12", "9"});
    CloseHandle(held);
    expect_one_clear_line(o);
    EXPECT_EQ(o.err.find("cannot open '" + dir.file("in.bmp") + "'"), 0u) << o.err;
    expect_old_results_untouched(dir, before);
#endif
}

// Long paths go through folders of 200-character names. On Windows a path this long takes the
// \\?\ form; Wine maps it onto a host path that must stay below the host's 4096 bytes with the
// Wine prefix's folders in front, so there the path is shorter, still far past MAX_PATH (260).
#ifdef _WIN32
constexpr std::size_t kLongPath = 1200;
#else
constexpr std::size_t kLongPath = 4000;
#endif

std::string long_folder(const TempDir& dir) {
    std::string path = dir.path();
    while (path.size() < kLongPath - 200) {
        path = dir_join(path, std::string(200, 'd'));
        make_folder(path);
    }
    return path;
}

TEST(Robustness, MissingPictureAtALongPathIsNamedWhole) {
    TempDir dir;
    const std::string folder = long_folder(dir);
    std::string path = dir_join(folder, std::string(kLongPath - folder.size() - 1, 'p'));
    ASSERT_EQ(path.size(), kLongPath);
    Outcome o = run_program(dir, ENLARGE3_EXE, {path, "12", "9"});
    expect_one_clear_line(o);
    EXPECT_NE(o.err.find(path), std::string::npos) << "the message names the whole path";
}

TEST(Robustness, PictureAtALongPathIsEnlargedBesideIt) {
    // No name is cut to a fixed length: the results go beside a picture kLongPath characters
    // deep.
    TempDir dir;
    std::string folder = long_folder(dir);
    std::string path =
        dir_join(folder, std::string(kLongPath - folder.size() - 1 - 4, 'p') + ".bmp");
    ASSERT_EQ(path.size(), kLongPath);
    write_file(path, encode_bmp(random_picture(6, 5, 2)));
    Outcome o = run_program(dir, ENLARGE3_EXE, {"--method", "lanczos3", path, "12", "9"});
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_TRUE(file_exists(path.substr(0, path.size() - 4) + "_lanczos3.bmp"));
}

TEST(Robustness, MethodThatCannotFitInMemoryIsRefusedAndTheOthersStillRun) {
    TempDir dir;
    write_file(dir.file("in.bmp"), encode_bmp(random_picture(1000, 1000, 3)));
    // Enough for the Lanczos3 resize at 2000 x 1500 (3 MB of input planes, 9 MB of output
    // planes, under 1 MB of band), not for the hybrid's 2 MB of edge masks on top.
    std::map<std::string, std::string> env = {{"ENLARGE3_MEMORY_LIMIT", "14000000"},
                                              {"ENLARGE3_THREADS", "1"}};
    Outcome o = run_program(dir, ENLARGE3_EXE,
                            {"--method", "lanczos3", "--method", "hybrid", dir.file("in.bmp"),
                             "2000", "1500"},
                            env);
    EXPECT_EQ(o.status, 1);
    EXPECT_NE(o.err.find("hybrid: 2000 x 1500 needs about"), std::string::npos) << o.err;
    EXPECT_NE(o.err.find("the limit set (ENLARGE3_MEMORY_LIMIT) of 13.4 MiB"), std::string::npos)
        << o.err;
    EXPECT_TRUE(file_exists(dir.file("in_lanczos3.bmp"))) << o.err;
    EXPECT_FALSE(file_exists(dir.file("in_hybrid.bmp")));
}

TEST(Robustness, ResultsDoNotDependOnTheInstructionSet) {
    // A set the processor lacks falls back to the widest it has, so this holds on any machine.
    TempDir dir;
    write_file(dir.file("in.bmp"), encode_bmp(random_picture(83, 41, 5)));
    std::vector<std::vector<std::uint8_t>> first;
    for (const char* isa : {"generic", "avx2", "avx512"}) {
        Outcome o = run_program(dir, ENLARGE3_EXE, {dir.file("in.bmp"), "301", "127"},
                                {{"ENLARGE3_LANE_ISA", isa}});
        ASSERT_EQ(o.status, 0) << o.err;
        std::vector<std::vector<std::uint8_t>> now;
        for (const char* name : kResults) {
            now.push_back(read_file(dir.file(name)));
            ASSERT_FALSE(now.back().empty()) << name;
        }
        if (first.empty())
            first = now;
        else
            EXPECT_EQ(now, first) << isa;
    }
}

TEST(Robustness, ResultsDoNotDependOnTheNumberOfThreads) {
    TempDir dir;
    write_file(dir.file("in.bmp"), encode_bmp(random_picture(83, 41, 4)));
    std::vector<std::vector<std::uint8_t>> first;
    for (const char* threads : {"1", "2", "3", "7"}) {
        Outcome o = run_program(dir, ENLARGE3_EXE, {dir.file("in.bmp"), "301", "127"},
                                {{"ENLARGE3_THREADS", threads}});
        ASSERT_EQ(o.status, 0) << o.err;
        std::vector<std::vector<std::uint8_t>> now;
        for (const char* name : kResults)
            if (file_exists(dir.file(name))) now.push_back(read_file(dir.file(name)));
        ASSERT_FALSE(now.empty());
        if (first.empty())
            first = now;
        else
            EXPECT_EQ(now, first) << threads << " threads";
    }
}

}  // namespace
