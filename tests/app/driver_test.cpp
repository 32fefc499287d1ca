// The command-line driver as a user runs it: exit status, the lines it prints and the files it
// leaves behind.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "tests/support/bmp_builder.h"
#include "tests/support/run_driver.h"

namespace {

Outcome run_driver(const TempDir& dir, const std::vector<std::string>& args,
                   const std::map<std::string, std::string>& env = {}) {
    return run_program(dir, ENLARGE3_EXE, args, env);
}

std::vector<std::string> files_in(const TempDir& dir) { return ::files_in(dir.path()); }

TEST(Driver, HelpExplainsTheUsage) {
    TempDir dir;
    Outcome o = run_driver(dir, {"--help"});
    EXPECT_EQ(o.status, 0);
    EXPECT_NE(o.out.find("Usage: enlarge3"), std::string::npos);
    EXPECT_NE(o.out.find("_lanczos3.bmp"), std::string::npos);
    EXPECT_NE(o.out.find("--method"), std::string::npos);
}

TEST(Driver, WrongArgumentsGiveTheUsageAndStatusTwo) {
    TempDir dir;
    write_file(dir.file("p.bmp"), encode_bmp(random_picture(6, 6, 1)));
    const std::vector<std::vector<std::string>> wrong = {
        {},
        {dir.file("p.bmp")},
        {dir.file("p.bmp"), "10"},
        {dir.file("p.bmp"), "10", "10", "10"},
        {dir.file("p.bmp"), "ten", "10"},
        {dir.file("p.bmp"), "10", "10x"},
        {dir.file("p.bmp"), "10", ""},
        {dir.file("p.bmp"), "99999999999", "10"},
        {"--bogus", dir.file("p.bmp"), "10", "10"},
        {"--method", "bicubic", dir.file("p.bmp"), "10", "10"},
        {dir.file("p.bmp"), "10", "10", "--method"},
    };
    for (const auto& args : wrong) {
        Outcome o = run_driver(dir, args);
        std::string shown;
        for (const auto& a : args) shown += a + " ";
        EXPECT_EQ(o.status, 2) << shown;
        EXPECT_NE(o.err.find("Usage: enlarge3"), std::string::npos) << shown;
        EXPECT_EQ(files_in(dir), std::vector<std::string>{"p.bmp"}) << shown;
    }
}

TEST(Driver, UnknownLaneInstructionSetIsRefusedBeforeAnyWork) {
    TempDir dir;
    write_file(dir.file("p.bmp"), encode_bmp(random_picture(6, 6, 1)));
    Outcome o = run_driver(dir, {dir.file("p.bmp"), "10", "10"}, {{"ENLARGE3_LANE_ISA", "avx3"}});
    EXPECT_EQ(o.status, 2);
    EXPECT_NE(o.err.find("ENLARGE3_LANE_ISA=avx3"), std::string::npos) << o.err;
    EXPECT_NE(o.err.find("generic"), std::string::npos) << o.err;
    EXPECT_EQ(std::count(o.err.begin(), o.err.end(), '\n'), 1) << o.err;
    EXPECT_EQ(o.out, "");
    EXPECT_EQ(files_in(dir), std::vector<std::string>{"p.bmp"});
}

TEST(Driver, WritesTheLanczos3ResultBesideThePicture) {
    TempDir dir;
    write_file(dir.file("cat.bmp"), encode_bmp(random_picture(7, 5, 2)));
    Outcome o = run_driver(dir, {"--method", "lanczos3", dir.file("cat.bmp"), "13", "9"});
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.err, "");
    TestPicture result = decode_result_bmp(read_file(dir.file("cat_lanczos3.bmp")));
    EXPECT_EQ(result.width, 13);
    EXPECT_EQ(result.height, 9);
}

TEST(Driver, SameSizeGreyPictureStaysGrey) {
    TempDir dir;
    TestPicture grey;
    grey.width = 6;
    grey.height = 6;
    grey.pixels.assign(36, Rgb{90, 90, 90});
    write_file(dir.file("g.bmp"), encode_bmp(grey));
    Outcome o = run_driver(dir, {"--method=lanczos3", dir.file("g.bmp"), "6", "6"});
    ASSERT_EQ(o.status, 0) << o.err;
    TestPicture result = decode_result_bmp(read_file(dir.file("g_lanczos3.bmp")));
    for (const Rgb& p : result.pixels) {
        EXPECT_TRUE(p.r == p.g && p.g == p.b);
        EXPECT_TRUE(p.r == 90 || p.r == 89) << int(p.r);
    }
}

// Each bad input: exit status 1, one clear line on standard error, no result file.
struct BadRun {
    const char* name;
    std::vector<std::uint8_t> bytes;  // written as in.bmp unless empty and no_file
    bool no_file;
    std::string width, height;
    const char* says;
};

void PrintTo(const BadRun& c, std::ostream* os) { *os << c.name; }

class DriverRefuses : public ::testing::TestWithParam<BadRun> {};

TEST_P(DriverRefuses, WithOneLineAndNoResultFile) {
    const BadRun& c = GetParam();
    TempDir dir;
    if (!c.no_file) write_file(dir.file("in.bmp"), c.bytes);
    std::vector<std::string> before = files_in(dir);
    Outcome o = run_driver(dir, {dir.file("in.bmp"), c.width, c.height});
    EXPECT_EQ(o.status, 1);
    EXPECT_NE(o.err.find(c.says), std::string::npos) << o.err;
    EXPECT_EQ(std::count(o.err.begin(), o.err.end(), '\n'), 1) << o.err;
    EXPECT_EQ(o.out, "");
    EXPECT_EQ(files_in(dir), before);
}

std::vector<BadRun> bad_runs() {
    TestPicture pic = random_picture(8, 6, 4);
    std::vector<std::uint8_t> good = encode_bmp(pic);
    std::vector<std::uint8_t> cut = good;
    cut.resize(cut.size() - 1);
    std::vector<std::uint8_t> huge = good;
    put_le32(huge, 18, 0x40000000);
    put_le32(huge, 22, 0x40000000);
    BmpLayout l32;
    l32.bits = 32;
    return {
        {"Missing", {}, true, "16", "12", "cannot open"},
        {"Short", cut, false, "16", "12", "InputFileSizeError!!!"},
        {"ThirtyTwoBits", encode_bmp(pic, l32), false, "16", "12", "32 bits per pixel"},
        {"HugeHeader", huge, false, "16", "12", "too small"},
        {"NegativeWidth", good, false, "-16", "12", "must not be negative"},
        {"NegativeHeight", good, false, "16", "-1", "must not be negative"},
        {"TooLargeForBmp", good, false, "100000", "100000", "too large"},
        {"EmptyFile", {}, false, "16", "12", "not a BMP"},
    };
}

INSTANTIATE_TEST_SUITE_P(BadInput, DriverRefuses, ::testing::ValuesIn(bad_runs()),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(Driver, ShortPictureLeavesEarlierResultsUntouched) {
    TempDir dir;
    std::vector<std::uint8_t> cut = encode_bmp(random_picture(8, 6, 4));
    cut.resize(cut.size() - 10);
    write_file(dir.file("in.bmp"), cut);
    std::vector<std::uint8_t> old(300, 1);
    write_file(dir.file("in_lanczos3.bmp"), old);
    Outcome o = run_driver(dir, {dir.file("in.bmp"), "16", "12"});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, "InputFileSizeError!!!\n");
    EXPECT_EQ(read_file(dir.file("in_lanczos3.bmp")), old);
}

TEST(Driver, FolderInsteadOfPictureIsRefused) {
    TempDir dir;
    std::filesystem::create_directory(dir.file("in.bmp"));
    Outcome o = run_driver(dir, {dir.file("in.bmp"), "16", "12"});
    EXPECT_EQ(o.status, 1);
    EXPECT_NE(o.err.find("is a directory"), std::string::npos) << o.err;
}

TEST(Driver, UnwritableResultIsNamedAndFailsTheRun) {
    TempDir dir;
    write_file(dir.file("in.bmp"), encode_bmp(random_picture(8, 6, 4)));
    std::filesystem::create_directory(dir.file("in_lanczos3.bmp"));
    Outcome o = run_driver(dir, {"--method", "lanczos3", dir.file("in.bmp"), "16", "12"});
    EXPECT_EQ(o.status, 1);
    EXPECT_NE(o.err.find("cannot write"), std::string::npos) << o.err;
    EXPECT_NE(o.err.find("in_lanczos3.bmp"), std::string::npos) << o.err;
}

TEST(Driver, WriteFailingPartWayLeavesTheEarlierResultWholeAndNoTemporaryFile) {
    // A file-size limit of 64 blocks (32 or 64 KiB, as the shell counts them) lets the result
    // of 120054 bytes start and stops it part-way; with SIGXFSZ ignored the write then fails
    // with EFBIG instead of killing the driver.
    TempDir dir;
    write_file(dir.file("in.bmp"), encode_bmp(random_picture(16, 16, 5)));
    const std::vector<std::uint8_t> earlier(3000, 'e');
    write_file(dir.file("in_lanczos3.bmp"), earlier);
    Outcome o = run_program(dir, ENLARGE3_EXE,
                            {"--method", "lanczos3", dir.file("in.bmp"), "200", "200"}, {},
                            "ulimit -f 64; trap '' XFSZ;");
    EXPECT_EQ(o.status, 1) << o.err;
    EXPECT_NE(o.err.find("cannot write"), std::string::npos) << o.err;
    EXPECT_EQ(read_file(dir.file("in_lanczos3.bmp")), earlier);
    EXPECT_EQ(files_in(dir), (std::vector<std::string>{"in.bmp", "in_lanczos3.bmp"}));
}

TEST(Driver, ZeroOutputSizeWritesAHeaderOnlyResult) {
    TempDir dir;
    write_file(dir.file("in.bmp"), encode_bmp(random_picture(8, 6, 4)));
    Outcome o = run_driver(dir, {"--method", "lanczos3", dir.file("in.bmp"), "0", "5"});
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(read_file(dir.file("in_lanczos3.bmp")).size(), 54u);
}

}  // namespace
