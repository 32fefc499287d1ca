// The command-line driver as a user runs it: exit status, the lines it prints and the files it
// leaves behind. The same cases run the Linux driver and enlarge3.exe under Windows.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>

#include "base/file_io.h"
#endif

#include "tests/support/bmp_builder.h"
#include "tests/support/run_driver.h"
#include "tests/support/temp_dir.h"

namespace {

Outcome run_driver(const TempDir& dir, const std::vector<std::string>& args,
                   const std::map<std::string, std::string>& env = {}) {
    return run_program(dir, ENLARGE3_EXE, args, env);
}

std::vector<std::string> files_in(const TempDir& dir) { return ::files_in(dir.path()); }

// The current folder for as long as the object lives.
class InFolder {
   public:
    explicit InFolder(const std::string& folder) : before_(std::filesystem::current_path()) {
        std::filesystem::current_path(std::filesystem::u8path(folder));
    }
    ~InFolder() { std::filesystem::current_path(before_); }
    InFolder(const InFolder&) = delete;
    InFolder& operator=(const InFolder&) = delete;

   private:
    std::filesystem::path before_;
};

TEST(Driver, HelpExplainsTheUsage) {
    TempDir dir;
    Outcome o = run_driver(dir, {"--help"});
    EXPECT_EQ(o.status, 0);
    EXPECT_NE(o.out.find("Usage: enlarge3"), std::string::npos);
    EXPECT_NE(o.out.find("_lanczos3."), std::string::npos);
    EXPECT_NE(o.out.find("--method"), std::string::npos);
    EXPECT_NE(o.out.find("--format"), std::string::npos);
    for (const char* kind : {"BMP", "PNG", "JPEG"}) EXPECT_NE(o.out.find(kind), std::string::npos) << kind;
}

// One case of each kind of refusal; tests/app/driver_arguments_test.cpp reads every wrong form
// in-process.
TEST(Driver, WrongArgumentsGiveTheUsageAndStatusTwo) {
    TempDir dir;
    write_file(dir.file("p.bmp"), encode_bmp(random_picture(6, 6, 1)));
    const std::vector<std::vector<std::string>> wrong = {
        {},
        {dir.file("p.bmp"), "ten", "10"},
        {"--bogus", dir.file("p.bmp"), "10", "10"},
        {dir.file("p.bmp"), "10", "10", "--method"},
        {"--version", dir.file("p.bmp"), "10", "10"},
    };
    for (const auto& args : wrong) {
        Outcome o = run_driver(dir, args);
        std::string shown;
        for (const auto& a : args) shown += a + " ";
        EXPECT_EQ(o.status, 2) << shown;
        EXPECT_NE(o.err.find("Usage: enlarge3"), std::string::npos) << shown;
        // The reason comes first and the whole help does not bury it.
        EXPECT_EQ(o.err.rfind("enlarge3: ", 0), 0u) << shown;
        EXPECT_EQ(o.err.find("Exit status"), std::string::npos) << shown;
        EXPECT_EQ(files_in(dir), std::vector<std::string>{"p.bmp"}) << shown;
    }
}

TEST(Driver, VersionIsTheProgramsNameAndTheProjectVersion) {
    TempDir dir;
    Outcome o = run_driver(dir, {"--version"});
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out, "enlarge3 " ENLARGE3_VERSION "\n");
    EXPECT_EQ(o.err, "");
}

// Explorer shows enlarge3.exe with the program's icon: an icon group among its resources.
TEST(Driver, CarriesTheProgramIconForExplorer) {
#ifndef _WIN32
    GTEST_SKIP() << "only Windows programs carry their icon";
#else
    HMODULE exe = LoadLibraryExW(utf8_to_wide(ENLARGE3_EXE).c_str(), nullptr,
                                 LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(exe, nullptr);
    EXPECT_NE(FindResourceW(exe, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(14)),
              nullptr);  // RT_GROUP_ICON
    FreeLibrary(exe);
#endif
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

// A size given as factors, percentages or auto gives the very results of the same size given
// in pixels.
TEST(Driver, FactorsPercentagesAndAutoComeToPixelsOfThePicturesSides) {
    struct Case {
        const char *width, *height, *pixel_width, *pixel_height;
    };
    // The picture is 7 x 5.
    const Case cases[] = {
        {"2x", "200%", "14", "10"},
        {"1.5x", "auto", "11", "8"},  // 10.5 and 7.857 rounded
        {"auto", "3X", "21", "15"},
        {"50", "auto", "50", "36"},  // 35.71
    };
    for (const Case& c : cases) {
        TempDir said, exact;
        for (const TempDir* d : {&said, &exact})
            write_file(d->file("cat.bmp"), encode_bmp(random_picture(7, 5, 2)));
        Outcome a =
            run_driver(said, {"--method", "lanczos3", said.file("cat.bmp"), c.width, c.height});
        Outcome b = run_driver(
            exact, {"--method", "lanczos3", exact.file("cat.bmp"), c.pixel_width, c.pixel_height});
        ASSERT_EQ(a.status, 0) << c.width << " " << c.height << ": " << a.err;
        ASSERT_EQ(b.status, 0) << b.err;
        const std::vector<std::uint8_t> result = read_file(said.file("cat_lanczos3.bmp"));
        const TestPicture pic = decode_result_bmp(result);
        EXPECT_EQ(std::to_string(pic.width) + " x " + std::to_string(pic.height),
                  std::string(c.pixel_width) + " x " + c.pixel_height)
            << c.width << " " << c.height;
        EXPECT_TRUE(result == read_file(exact.file("cat_lanczos3.bmp")));
    }
}

// -o puts the results in a folder, made with its parents, under the names they would have
// beside the picture, and leaves the picture's folder as it was.
TEST(Driver, OutputFolderTakesTheResultsUnderTheirUsualNames) {
    TempDir dir;
    const TestPicture pic = random_picture(9, 7, 11);
    write_file(dir.file("beside.bmp"), encode_bmp(pic));
    ASSERT_EQ(run_driver(dir, {dir.file("beside.bmp"), "19", "15"}).status, 0);
    ASSERT_TRUE(make_folder(dir.file("pictures")));
    const char sep = static_cast<char>(std::filesystem::path::preferred_separator);
    const std::string picture = dir.file("pictures") + sep + "beside.bmp";
    write_file(picture, encode_bmp(pic));
    for (int form = 0; form < 4; ++form) {
        const std::string deep = dir.file("out" + std::to_string(form)) + sep + "a" + sep + "b";
        const std::vector<std::vector<std::string>> forms = {
            {"-o", deep, picture, "19", "15"},
            {"--output-dir", deep, picture, "19", "15"},
            {"--output-dir=" + deep, picture, "19", "15"},
            {picture, "19", "15", "-o", deep + sep},
        };
        Outcome o = run_driver(dir, forms[form]);
        EXPECT_EQ(o.status, 0) << form << ": " << o.err;
        EXPECT_EQ(::files_in(dir.file("pictures")), std::vector<std::string>{"beside.bmp"});
        EXPECT_EQ(::files_in(deep), (std::vector<std::string>{"beside_dct.bmp", "beside_hybrid.bmp",
                                                              "beside_lanczos3.bmp"}))
            << form;
        for (const char* method : {"_lanczos3.bmp", "_hybrid.bmp", "_dct.bmp"})
            EXPECT_TRUE(read_file(deep + sep + "beside" + method) ==
                        read_file(dir.file("beside") + method))
                << method;
    }
}

// As the user types it in the picture's folder, with a folder name relative to it, and with a
// folder path longer than Windows' 260 characters.
TEST(Driver, OutputFolderRelativeOrPastWindowsPathLimit) {
    TempDir dir;
    write_file(dir.file("p.a.bmp"), encode_bmp(random_picture(6, 4, 12)));
    Outcome o;
    {
        InFolder here(dir.path());
        o = run_driver(dir, {"--method", "lanczos3", "-o", "results", "p.a.bmp", "2x", "auto"});
    }
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(
        decode_result_bmp(read_file(dir.file("results") +
                                    static_cast<char>(std::filesystem::path::preferred_separator) +
                                    "p.a_lanczos3.bmp"))
            .width,
        12);

    std::string deep = dir.path();
    for (int i = 0; i < 5; ++i)
        deep += static_cast<char>(std::filesystem::path::preferred_separator) +
                std::string(60, static_cast<char>('a' + i));
    ASSERT_GT(deep.size(), 300u);
    o = run_driver(dir, {"--method", "hybrid", "-o", deep, dir.file("p.a.bmp"), "12", "8"});
    EXPECT_EQ(o.status, 0) << o.err;
    // std::filesystem cannot list a folder that deep on Windows; the file calls reach it.
    const std::string result =
        deep + static_cast<char>(std::filesystem::path::preferred_separator) + "p.a_hybrid.bmp";
    EXPECT_EQ(decode_result_bmp(read_file(result)).height, 8);
}

// -o naming a file, or a folder that cannot be made: one line, status 1, nothing written. A
// run refused before its picture is read makes no folder.
TEST(Driver, OutputFolderThatCannotBeUsedIsRefusedAndNothingIsWritten) {
    TempDir dir;
    write_file(dir.file("p.bmp"), encode_bmp(random_picture(6, 4, 12)));
    write_file(dir.file("afile"), {1, 2, 3});
    const char sep = static_cast<char>(std::filesystem::path::preferred_separator);
    struct Case {
        std::string folder, picture, says;
    };
    const Case cases[] = {
        {dir.file("afile"), dir.file("p.bmp"), "is not a folder"},
        {dir.file("afile") + sep + "sub", dir.file("p.bmp"), "cannot make the folder '"},
        {dir.file("new"), dir.file("missing.bmp"), "cannot open"},
    };
    for (const Case& c : cases) {
        Outcome o = run_driver(dir, {"-o", c.folder, c.picture, "2x", "2x"});
        EXPECT_EQ(o.status, 1) << c.folder;
        EXPECT_NE(o.err.find(c.says), std::string::npos) << o.err;
        EXPECT_EQ(std::count(o.err.begin(), o.err.end(), '\n'), 1) << o.err;
        EXPECT_EQ(o.out, "");
        EXPECT_EQ(files_in(dir), (std::vector<std::string>{"afile", "p.bmp"})) << c.folder;
    }
}

TEST(Driver, ProgressOffATerminalIsALinePerTenthAndChangesNothingElse) {
    TempDir plain, shown;
    for (const TempDir* d : {&plain, &shown})
        write_file(d->file("cat.bmp"), encode_bmp(random_picture(30, 20, 3)));
    Outcome a = run_driver(plain, {plain.file("cat.bmp"), "90", "60"});
    Outcome b = run_driver(shown, {"--progress", shown.file("cat.bmp"), "90", "60"});
    ASSERT_EQ(a.status, 0) << a.err;
    ASSERT_EQ(b.status, 0) << b.err;
    EXPECT_EQ(b.out, a.out);
    // Its lines come beside the DCT method's stage lines, which stay as they were.
    std::string stages, bar;
    std::size_t at = 0;
    while (at < b.err.size()) {
        const std::size_t end = b.err.find('\n', at);
        const std::string line = b.err.substr(at, end - at);
        (line.rfind("enlarge3: ", 0) == 0 ? bar : stages) += line + "\n";
        at = end + 1;
    }
    EXPECT_EQ(stages, a.err);
    EXPECT_EQ(b.err.find('\r'), std::string::npos);
    EXPECT_EQ(bar.find("enlarge3:   0% lanczos3\n"), 0u) << bar;
    EXPECT_NE(bar.find("% hybrid\n"), std::string::npos) << bar;
    EXPECT_NE(bar.find("enlarge3: 100% dct\n"), std::string::npos) << bar;
    for (const char* name : {"cat_lanczos3.bmp", "cat_hybrid.bmp", "cat_dct.bmp"})
        EXPECT_EQ(read_file(shown.file(name)), read_file(plain.file(name))) << name;
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
    // The original's "InputFileSizeError!!!" has its explanation on a line of its own.
    const bool original = o.err.rfind("InputFileSizeError!!!\n", 0) == 0;
    EXPECT_EQ(std::count(o.err.begin(), o.err.end(), '\n'), original ? 2 : 1) << o.err;
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
        {"ThirtyTwoBitsOver24BitRows", encode_bmp(pic, l32), false, "16", "12", "cut short"},
        {"HugeHeader", huge, false, "16", "12", "too small"},
        {"NegativeWidth", good, false, "-16", "12", "must not be negative"},
        {"NegativeHeight", good, false, "16", "-1", "must not be negative"},
        {"TooLargeForBmp", good, false, "100000", "100000", "too large"},
        {"EmptyFile", {}, false, "16", "12", "not a picture the tool reads"},
        {"FactorComingToZero", good, false, "1%", "12",
         "WIDTH '1%' of the picture's 8 pixels "
         "comes to 0 pixels"},
        {"AutoComingToZero", good, false, "0", "auto", "HEIGHT 'auto' comes to 0 pixels"},
        {"FactorTooLargeForBmp", good, false, "20000x", "auto", "too large for a BMP file"},
        {"NegativeWithAuto", good, false, "auto", "-3", "must not be negative"},
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
    EXPECT_EQ(o.err, "InputFileSizeError!!!\n'" + dir.file("in.bmp") +
                         "' is cut short: it has 188 of the 198 bytes its size field gives (10 "
                         "missing)\n");
    EXPECT_EQ(read_file(dir.file("in_lanczos3.bmp")), old);
}

// The limit on a picture's pixels set in the environment or by --max-pixels, which wins (0:
// none); a value of the setting that is no number is refused as wrong arguments are.
TEST(Driver, PicturesPastThePixelLimitAreRefusedWithHowToRaiseIt) {
    TempDir dir;
    write_file(dir.file("in.bmp"), encode_bmp(random_picture(8, 6, 4)));
    const std::string in = dir.file("in.bmp");
    const struct {
        const char* option;  // none when empty
        const char* setting;
        int status;
        std::string err;
    } cases[] = {
        {"", "47", 1,
         "'" + in +
             "' is 8 x 6 pixels, more than the 47 the limit set allows (to read it, raise the "
             "limit: --max-pixels N on the command line, or ENLARGE3_MAX_PIXELS=N)\n"},
        {"", "48", 0, ""},
        {"--max-pixels=0", "47", 0, ""},
        {"", "many", 2,
         "enlarge3: ENLARGE3_MAX_PIXELS=many is not a number of pixels (0 for no limit)\n"},
        {"--max-pixels=48", "many", 0, ""},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"--method", "lanczos3", in, "9", "7"};
        if (*c.option != '\0') args.insert(args.begin(), c.option);
        const Outcome o = run_driver(dir, args, {{"ENLARGE3_MAX_PIXELS", c.setting}});
        EXPECT_EQ(o.status, c.status) << c.option << " " << c.setting;
        EXPECT_EQ(o.err, c.err);
    }
}

TEST(Driver, FolderInsteadOfPictureIsRefused) {
    TempDir dir;
    make_folder(dir.file("in.bmp"));
    Outcome o = run_driver(dir, {dir.file("in.bmp"), "16", "12"});
    EXPECT_EQ(o.status, 1);
    EXPECT_NE(o.err.find("is a directory"), std::string::npos) << o.err;
}

TEST(Driver, UnwritableResultIsNamedAndFailsTheRun) {
    TempDir dir;
    write_file(dir.file("in.bmp"), encode_bmp(random_picture(8, 6, 4)));
    make_folder(dir.file("in_lanczos3.bmp"));
    Outcome o = run_driver(dir, {"--method", "lanczos3", dir.file("in.bmp"), "16", "12"});
    EXPECT_EQ(o.status, 1);
    EXPECT_NE(o.err.find("cannot write"), std::string::npos) << o.err;
    EXPECT_NE(o.err.find("in_lanczos3.bmp"), std::string::npos) << o.err;
}

TEST(Driver, WriteFailingPartWayLeavesTheEarlierResultWholeAndNoTemporaryFile) {
    // A file-size limit of 64 blocks (32 or 64 KiB, as the shell counts them) lets the result
    // of 120054 bytes start and stops it part-way. The driver ignores SIGXFSZ during a run, so
    // the write fails with EFBIG instead of the signal killing the driver half-way through.
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no limit on a process's file size (ulimit -f) to stop a write "
                    "part-way";
#endif
    TempDir dir;
    write_file(dir.file("in.bmp"), encode_bmp(random_picture(16, 16, 5)));
    const std::vector<std::uint8_t> earlier(3000, 'e');
    write_file(dir.file("in_lanczos3.bmp"), earlier);
    Outcome o =
        run_program(dir, ENLARGE3_EXE, {"--method", "lanczos3", dir.file("in.bmp"), "200", "200"},
                    {}, "ulimit -f 64;");
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

// Each argument arrives as it was written, whatever it holds, and a message repeats it in UTF-8
// when the stream goes to a file: on Windows through the command line's quoting and the wide
// arguments.
TEST(Driver, ArgumentsArriveUnchangedAndMessagesRepeatThemInUtf8) {
    TempDir dir;
    const std::vector<std::string> names = {
        "two words", "tab\there", "say \"hi\"", "trailing\\", "slashes\\\\\" quote",
        "\"",        "写真",      "😀 grin",     "Ünïcödé",
    };
    for (const std::string& name : names) {
        Outcome o = run_driver(dir, {"--method", name, "p.bmp", "1", "1"});
        EXPECT_EQ(o.status, 2) << name;
        EXPECT_NE(o.err.find("unknown method '" + name + "'"), std::string::npos) << o.err;
    }
}

struct UnicodeName {
    const char* name;
    const char* folder;
    const char* stem;  // the picture is stem + ".bmp"
};

void PrintTo(const UnicodeName& c, std::ostream* os) {
    *os << c.name;
}

class DriverUnicodeNames : public ::testing::TestWithParam<UnicodeName> {};

// Every result comes beside the picture under the picture's own name, with the bytes an ASCII
// name gives.
TEST_P(DriverUnicodeNames, ResultsGoBesideThePicture) {
    const UnicodeName& c = GetParam();
    TempDir dir;
    const TestPicture pic = random_picture(9, 7, 11);
    write_file(dir.file("plain.bmp"), encode_bmp(pic));
    ASSERT_EQ(run_driver(dir, {dir.file("plain.bmp"), "19", "15"}).status, 0);
    const std::string folder = dir.file(c.folder);
    ASSERT_TRUE(make_folder(folder));
    const std::string stem =
        folder + static_cast<char>(std::filesystem::path::preferred_separator) + c.stem;
    write_file(stem + ".bmp", encode_bmp(pic));

    Outcome o = run_driver(dir, {stem + ".bmp", "19", "15"});
    EXPECT_EQ(o.status, 0) << o.err;
    const std::string bmp = ".bmp";
    EXPECT_EQ(::files_in(folder),
              (std::vector<std::string>{c.stem + bmp, c.stem + ("_dct" + bmp),
                                        c.stem + ("_hybrid" + bmp), c.stem + ("_lanczos3" + bmp)}));
    for (const char* method : {"_lanczos3", "_hybrid", "_dct"}) {
        const std::vector<std::uint8_t> result = read_file(stem + method + bmp);
        EXPECT_FALSE(result.empty()) << method;
        EXPECT_TRUE(result == read_file(dir.file("plain") + method + bmp)) << method;
    }
}

// As the user types it in the picture's folder: a name relative to the current folder.
TEST_P(DriverUnicodeNames, PictureInTheCurrentFolderIsFoundByItsName) {
    const UnicodeName& c = GetParam();
    TempDir dir;
    write_file(dir.file(c.stem + std::string(".bmp")), encode_bmp(random_picture(6, 4, 12)));
    Outcome o;
    {
        InFolder here(dir.path());
        o = run_driver(dir, {"--method", "lanczos3", c.stem + std::string(".bmp"), "12", "8"});
    }
    EXPECT_EQ(o.status, 0) << o.err;
    const TestPicture result =
        decode_result_bmp(read_file(dir.file(c.stem + std::string("_lanczos3.bmp"))));
    EXPECT_EQ(result.width, 12);
    EXPECT_EQ(result.height, 8);
}

// Redirected, the message names the file in UTF-8, as the file system spells it.
TEST_P(DriverUnicodeNames, MissingPictureIsNamedInUtf8) {
    const UnicodeName& c = GetParam();
    TempDir dir;
    const std::string path = dir.file(c.stem + std::string(".bmp"));
    Outcome o = run_driver(dir, {path, "12", "8"});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, "cannot open '" + path + "': No such file or directory\n");
}

INSTANTIATE_TEST_SUITE_P(Names, DriverUnicodeNames,
                         ::testing::Values(UnicodeName{"Japanese", "写真フォルダ", "猫の写真"},
                                           // Characters past U+FFFF: a surrogate pair each in
                                           // UTF-16, four bytes in UTF-8.
                                           UnicodeName{"Emoji", "📷 photos", "sunset 🌅😀"},
                                           UnicodeName{"Accents", "Bücher", "café crème"}),
                         [](const auto& p) { return std::string(p.param.name); });

// A picture in.bmp and an earlier in_lanczos3.bmp that is no picture; returns the latter's bytes.
std::vector<std::uint8_t> plant_picture_and_earlier_result(const TempDir& dir) {
    write_file(dir.file("in.bmp"), encode_bmp(random_picture(8, 6, 4)));
    const std::vector<std::uint8_t> earlier(5000, 'e');
    write_file(dir.file("in_lanczos3.bmp"), earlier);
    return earlier;
}

TEST(Driver, EarlierResultIsReplaced) {
    TempDir dir;
    plant_picture_and_earlier_result(dir);
    Outcome o = run_driver(dir, {"--method", "lanczos3", dir.file("in.bmp"), "16", "12"});
    EXPECT_EQ(o.status, 0) << o.err;
    const TestPicture result = decode_result_bmp(read_file(dir.file("in_lanczos3.bmp")));
    EXPECT_EQ(result.width, 16);
    EXPECT_EQ(result.height, 12);
    EXPECT_EQ(files_in(dir), (std::vector<std::string>{"in.bmp", "in_lanczos3.bmp"}));
}

// Windows keeps another program's file as it is while that program holds it open without
// sharing, and keeps a read-only file as it is: the result fails by name, the earlier file
// stays whole, no temporary file is left, and the next method still writes its result.
#ifdef _WIN32
Outcome run_first_two_methods(const TempDir& dir) {
    return run_driver(
        dir, {"--method", "lanczos3", "--method", "hybrid", dir.file("in.bmp"), "16", "12"});
}

void expect_result_kept(const TempDir& dir, const Outcome& o,
                        const std::vector<std::uint8_t>& earlier) {
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, "cannot write '" + dir.file("in_lanczos3.bmp") + "': Permission denied\n");
    EXPECT_EQ(read_file(dir.file("in_lanczos3.bmp")), earlier);
    EXPECT_EQ(files_in(dir),
              (std::vector<std::string>{"in.bmp", "in_hybrid.bmp", "in_lanczos3.bmp"}));
}
#endif

TEST(Driver, ResultHeldOpenByAnotherProgramFailsByNameAndStaysWhole) {
#ifndef _WIN32
    GTEST_SKIP() << "POSIX has no share modes: a file another program holds open is replaced "
                    "like any other";
#else
    TempDir dir;
    const std::vector<std::uint8_t> earlier = plant_picture_and_earlier_result(dir);
    HANDLE held = CreateFileW(windows_file_path(dir.file("in_lanczos3.bmp")).c_str(),
                              GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    Outcome o = run_first_two_methods(dir);
    CloseHandle(held);
    expect_result_kept(dir, o, earlier);
#endif
}

TEST(Driver, ReadOnlyResultFailsByNameAndStaysWhole) {
#ifndef _WIN32
    GTEST_SKIP() << "on POSIX the folder's permissions decide whether a file may be replaced, "
                    "not the file's own";
#else
    TempDir dir;
    const std::vector<std::uint8_t> earlier = plant_picture_and_earlier_result(dir);
    ASSERT_TRUE(SetFileAttributesW(windows_file_path(dir.file("in_lanczos3.bmp")).c_str(),
                                   FILE_ATTRIBUTE_READONLY));
    Outcome o = run_first_two_methods(dir);
    expect_result_kept(dir, o, earlier);
#endif
}

}  // namespace
