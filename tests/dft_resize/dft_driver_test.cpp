// The DCT method through the command-line driver: its lines on their streams, and the sizes
// it refuses while the other methods of the run go on.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/dft_resize/reference_procedure.h"
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
    EXPECT_NE(o.err.find("only enlarges"), std::string::npos) << o.err;
    EXPECT_EQ(o.err.find("START"), std::string::npos) << o.err;
    EXPECT_EQ(files_in(dir.path()),
              (std::vector<std::string>{"in.bmp", "in_hybrid.bmp", "in_lanczos3.bmp"}));
}

INSTANTIATE_TEST_SUITE_P(Sizes, DctDriverRefuses,
                         ::testing::Values(RefusedRun{"Narrower", "7", "6"},
                                           RefusedRun{"Lower", "8", "5"}),
                         [](const auto& p) { return std::string(p.param.name); });

// Past the original tool's 4096 pixels a side: each colour of the file is the step-by-step
// procedure's enlargement of that colour, rows of 8194 points transformed as one line each.
TEST(DctDriver, ResultWiderThan4096IsTheStepByStepProcedures) {
    TempDir dir;
    const TestPicture pic = random_picture(6, 3, 9);
    write_file(dir.file("in.bmp"), encode_bmp(pic));
    Outcome o =
        run_program(dir, ENLARGE3_EXE, {"--method", "dct", dir.file("in.bmp"), "4097", "5"});
    ASSERT_EQ(o.status, 0) << o.err;
    const TestPicture got = decode_result_bmp(read_file(dir.file("in_dct.bmp")));
    ASSERT_EQ(got.width, 4097);
    ASSERT_EQ(got.height, 5);
    const std::size_t n = 4097 * 5;
    std::vector<std::uint8_t> in[3], want[3];
    for (int c = 0; c < 3; ++c) {
        // Column-major planes: (x, y) at x * height + y.
        for (int x = 0; x < pic.width; ++x)
            for (int y = 0; y < pic.height; ++y) {
                const Rgb p = pic.at(x, y);
                in[c].push_back(c == 0 ? p.r : c == 1 ? p.g : p.b);
            }
        want[c].assign(n, 0);
        reference_interpolate_plane(6, 3, 4097 - 6, 5 - 3, in[c].data(), want[c].data());
    }
    for (int x = 0; x < 4097; ++x)
        for (int y = 0; y < 5; ++y) {
            const std::size_t i = static_cast<std::size_t>(x) * 5 + static_cast<std::size_t>(y);
            ASSERT_EQ(got.at(x, y), (Rgb{want[0][i], want[1][i], want[2][i]}))
                << "(" << x << ", " << y << ")";
        }
}

// A size whose planes and grids the memory cannot hold is refused before any of the method's
// work: no colour is announced and nothing is written.
TEST(DctDriver, SizeBeyondTheMemoryIsRefusedBeforeAnyWork) {
    TempDir dir;
    write_file(dir.file("in.bmp"), encode_bmp(random_picture(16, 12, 5)));
    // 8000 x 6000 takes 144 MB of result planes alone.
    Outcome o =
        run_program(dir, ENLARGE3_EXE, {"--method", "dct", dir.file("in.bmp"), "8000", "6000"},
                    {{"ENLARGE3_MEMORY_LIMIT", "100000000"}});
    EXPECT_EQ(o.status, 1);
    EXPECT_NE(o.err.find("dct: 8000 x 6000 needs about"), std::string::npos) << o.err;
    EXPECT_EQ(o.out, "");
    EXPECT_EQ(o.err.find("DFT start"), std::string::npos) << o.err;
    EXPECT_EQ(files_in(dir.path()), std::vector<std::string>{"in.bmp"});
}

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
