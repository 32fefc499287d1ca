// The DCT method through the command-line driver: its lines on their streams, and the sizes
// it refuses while the other methods of the run go on.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/bmp_builder.h"
#include "tests/support/run_driver.h"
#include "tests/support/temp_dir.h"

namespace {

const char kStages[] =
    "horizontal DFT start!!\n"
    "horizontal DFT end\n"
    "vertical DFT start!!\n"
    "vertical DFT end!!\n"
    "high frequency 0 staffing start!!\n"
    "high frequency 0 staffing end!!\n"
    "horizontal IDFT start!!\n"
    "horizontal IDFT end!!\n"
    "vertical IDFT start!!\n"
    "vertical IDFT end!!\n";

std::string repeated(const std::string& s, int times) {
    std::string r;
    for (int i = 0; i < times; ++i) r += s;
    return r;
}

TEST(DctDriver, ProgressOnStandardOutputAndStagesOnStandardError) {
    TempDir dir;
    write_file(dir.file("in.bmp"), encode_bmp(random_picture(7, 5, 1)));
    Outcome o = run_program(dir, ENLARGE3_EXE, {dir.file("in.bmp"), "13", "9"});
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.out, "RED START\nGREEN START\nBLUE START\n");
    EXPECT_EQ(o.err, repeated(kStages, 3));
    EXPECT_EQ(files_in(dir.path()), (std::vector<std::string>{"in.bmp", "in_dct.bmp",
                                                              "in_hybrid.bmp", "in_lanczos3.bmp"}));
    const TestPicture result = decode_result_bmp(read_file(dir.file("in_dct.bmp")));
    EXPECT_EQ(result.width, 13);
    EXPECT_EQ(result.height, 9);
}

TEST(DctDriver, EachColourIsAnnouncedBeforeItsStages) {
    TempDir dir;
    write_file(dir.file("in.bmp"), encode_bmp(random_picture(4, 3, 2)));
    // Both streams into one file, in the order the lines were written.
    Outcome o = run_program_one_stream(dir, ENLARGE3_EXE,
                                       {"--method", "dct", dir.file("in.bmp"), "6", "5"});
    ASSERT_EQ(o.status, 0);
    EXPECT_EQ(o.out, std::string("RED START\n") + kStages + "GREEN START\n" + kStages +
                         "BLUE START\n" + kStages);
}

struct RefusedRun {
    const char* name;
    const char* width;
    const char* height;
};

class DctDriverRefuses : public ::testing::TestWithParam<RefusedRun> {};

// The other two results are still written; the run fails with the DCT method's reason.
TEST_P(DctDriverRefuses, TheSizeButWritesTheOtherResults) {
    const RefusedRun& c = GetParam();
    TempDir dir;
    write_file(dir.file("in.bmp"), encode_bmp(random_picture(8, 6, 4)));
    Outcome o = run_program(dir, ENLARGE3_EXE, {dir.file("in.bmp"), c.width, c.height});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.out, "");
    EXPECT_NE(o.err.find("dct:"), std::string::npos) << o.err;
    EXPECT_NE(o.err.find("8 x 6"), std::string::npos) << o.err;
    EXPECT_NE(o.err.find("4096"), std::string::npos) << o.err;
    EXPECT_EQ(o.err.find("START"), std::string::npos) << o.err;
    EXPECT_EQ(files_in(dir.path()),
              (std::vector<std::string>{"in.bmp", "in_hybrid.bmp", "in_lanczos3.bmp"}));
}

INSTANTIATE_TEST_SUITE_P(Sizes, DctDriverRefuses,
                         ::testing::Values(RefusedRun{"Narrower", "7", "6"},
                                           RefusedRun{"Lower", "8", "5"},
                                           RefusedRun{"WiderThan4096", "4097", "6"},
                                           RefusedRun{"HigherThan4096", "8", "4097"}),
                         [](const auto& p) { return std::string(p.param.name); });

// One thread with the baseline instruction set, or every core with the widest: the same file.
TEST(DctDriver, ResultDoesNotDependOnThreadsOrInstructionSet) {
    TempDir dir;
    write_file(dir.file("in.bmp"), encode_bmp(random_picture(45, 31, 6)));
    const std::vector<std::string> args = {"--method", "dct", dir.file("in.bmp"), "101", "77"};
    Outcome o = run_program(dir, ENLARGE3_EXE, args);
    ASSERT_EQ(o.status, 0) << o.err;
    const std::vector<std::uint8_t> wide = read_file(dir.file("in_dct.bmp"));
    o = run_program(dir, ENLARGE3_EXE, args,
                    {{"ENLARGE3_THREADS", "1"}, {"ENLARGE3_LANE_ISA", "generic"}});
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_TRUE(read_file(dir.file("in_dct.bmp")) == wide);
    o = run_program(dir, ENLARGE3_EXE, args,
                    {{"ENLARGE3_THREADS", "3"}, {"ENLARGE3_LANE_ISA", "avx2"}});
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_TRUE(read_file(dir.file("in_dct.bmp")) == wide);
}

// Address space too small for the grids: the array is named, the process ends with status 1
// and no result is left behind. (The sanitizers reserve more address space than any limit
// that would make this fail, so it runs in ordinary builds only.)
#if !defined(__SANITIZE_ADDRESS__)
TEST(DctDriver, RunningOutOfMemoryNamesTheArrayAndWritesNothing) {
#ifdef _WIN32
    GTEST_SKIP() << "the limit is the shell's ulimit -v; Windows' counterpart, a job object's "
                    "memory limit, is not enforced by Wine, which runs these tests";
#endif
    TempDir dir;
    write_file(dir.file("in.bmp"), encode_bmp(random_picture(2000, 2000, 8)));
    Outcome o =
        run_program(dir, ENLARGE3_EXE, {"--method", "dct", dir.file("in.bmp"), "4000", "4000"}, {},
                    "ulimit -v 300000;");
    EXPECT_EQ(o.status, 1);
    const std::string tail = " no memory!!\n";
    ASSERT_GE(o.out.size(), tail.size()) << o.out;
    EXPECT_EQ(o.out.substr(o.out.size() - tail.size()), tail) << o.out;
    EXPECT_EQ(files_in(dir.path()), std::vector<std::string>{"in.bmp"});
}
#endif

TEST(DctDriver, RefusedAloneWritesNothing) {
    TempDir dir;
    write_file(dir.file("in.bmp"), encode_bmp(random_picture(8, 6, 4)));
    Outcome o = run_program(dir, ENLARGE3_EXE, {"--method", "dct", dir.file("in.bmp"), "4", "4"});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(std::count(o.err.begin(), o.err.end(), '\n'), 1) << o.err;
    EXPECT_EQ(files_in(dir.path()), std::vector<std::string>{"in.bmp"});
}

}  // namespace
