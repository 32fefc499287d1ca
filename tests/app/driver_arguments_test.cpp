// The driver's command line read in-process: what each form asks for, and which argument a
// refusal names. tests/app/driver_test.cpp runs the driver on some of them for its streams and
// exit status.

#include "app/driver_arguments.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

DriverArguments parse(std::vector<const char*> args) {
    args.insert(args.begin(), "enlarge3");
    return parse_arguments(static_cast<int>(args.size()), args.data());
}

std::string shown(const std::vector<const char*>& args) {
    std::string s;
    for (const char* a : args) s += std::string("'") + a + "' ";
    return s;
}

TEST(ParseArguments, WrongArgumentsAreRefusedWithTheFirstReason) {
    const struct {
        std::vector<const char*> args;
        const char* reason;  // a part of it
    } cases[] = {
        {{}, "missing PICTURE WIDTH HEIGHT"},
        {{"p.bmp"}, "expected PICTURE WIDTH HEIGHT"},
        {{"p.bmp", "10"}, "expected PICTURE WIDTH HEIGHT"},
        {{"p.bmp", "10", "10", "10"}, "expected PICTURE WIDTH HEIGHT"},
        // Each side to its own parse (output_size_test.cpp has every form it refuses).
        {{"p.bmp", "ten", "10"}, "WIDTH 'ten'"},
        {{"p.bmp", "10", "10px"}, "HEIGHT '10px'"},
        {{"p.bmp", "10", ""}, "HEIGHT ''"},
        {{"p.bmp", "auto", "auto"}, "cannot both be auto"},
        {{"--bogus", "p.bmp", "10", "10"}, "unknown option '--bogus'"},
        {{"-x", "--bogus"}, "unknown option '-x'"},
        {{"--method", "bicubic", "p.bmp", "10", "10"}, "unknown method 'bicubic'"},
        {{"--method=", "p.bmp", "10", "10"}, "unknown method ''"},
        {{"p.bmp", "10", "10", "--method"}, "--method needs a name"},
        {{"--format", "jpeg", "p.bmp", "10", "10"}, "unknown format 'jpeg'"},
        {{"--format=", "p.bmp", "10", "10"}, "unknown format ''"},
        {{"p.bmp", "10", "10", "--format"}, "--format needs a format"},
        {{"p.bmp", "10", "10", "-o"}, "-o needs a folder"},
        {{"--output-dir=", "p.bmp", "10", "10"}, "--output-dir= needs a folder"},
        {{"-o", "", "p.bmp", "10", "10"}, "-o needs a folder"},
        {{"--version", "p.bmp", "10", "10"}, "--version takes no other arguments"},
        {{"--version", "--version"}, "--version takes no other arguments"},
        {{"--version", "--bogus"}, "unknown option '--bogus'"},
        {{"--bogus", "--help"}, "unknown option '--bogus'"},
        {{"--", "--help", "10"}, "expected PICTURE WIDTH HEIGHT"},
        {{"--max-pixels", "lots", "p.bmp", "10", "10"}, "--max-pixels needs a number of pixels"},
        {{"--max-pixels=-5", "p.bmp", "10", "10"}, "not '-5'"},
        {{"--max-pixels=", "p.bmp", "10", "10"}, "--max-pixels needs a number"},
        {{"--max-pixels=18446744073709551616", "p.bmp", "10", "10"}, "--max-pixels needs"},
        {{"p.bmp", "10", "10", "--max-pixels"}, "--max-pixels needs a number"},
    };
    for (const auto& c : cases) {
        const DriverArguments a = parse(c.args);
        EXPECT_EQ(a.action, DriverArguments::Action::wrong) << shown(c.args);
        EXPECT_NE(a.wrong.find(c.reason), std::string::npos) << shown(c.args) << a.wrong;
        EXPECT_EQ(a.wrong.find('\n'), std::string::npos) << a.wrong;
    }
}

TEST(ParseArguments, HelpWinsOverWhatFollowsAndVersionStandsAlone) {
    for (const std::vector<const char*>& args :
         {std::vector<const char*>{"-h"}, {"--help", "--bogus"}, {"p.bmp", "--help", "10"}})
        EXPECT_EQ(parse(args).action, DriverArguments::Action::help) << shown(args);
    EXPECT_EQ(parse({"--version"}).action, DriverArguments::Action::version);
}

// A run's fields as one line: picture, size, methods, format, folder and --progress.
std::string summary(const DriverArguments& a) {
    std::string s = a.picture + " " + a.size.width.text + " x " + a.size.height.text + " ";
    for (int m = 0; m < kMethodCount; ++m)
        if (a.methods & (1u << m)) s += std::string(method_name(m)) + ",";
    const char* formats[] = {"by picture", "bmp", "png"};
    s += std::string(" ") + formats[static_cast<int>(a.format)] + " '" + a.output_folder + "'";
    if (a.max_pixels) s += " at most " + std::to_string(*a.max_pixels);
    return a.progress ? s + " progress" : s;
}

TEST(ParseArguments, OptionsMayComeAnywhereAndTakeTheirValueEitherWay) {
    const struct {
        std::vector<const char*> args;
        const char* summary;
    } cases[] = {
        {{"p.bmp", "10", "20"}, "p.bmp 10 x 20 lanczos3,hybrid,dct, by picture ''"},
        {{"--method", "hybrid", "--method=dct", "p.bmp", "2x", "auto"},
         "p.bmp 2x x auto hybrid,dct, by picture ''"},
        {{"p.bmp", "--format=bmp", "10", "--progress", "20"},
         "p.bmp 10 x 20 lanczos3,hybrid,dct, bmp '' progress"},
        {{"--format", "png", "-o", "out", "p.bmp", "10", "20"},
         "p.bmp 10 x 20 lanczos3,hybrid,dct, png 'out'"},
        {{"--output-dir", "a=b", "p.bmp", "10", "20"},
         "p.bmp 10 x 20 lanczos3,hybrid,dct, by picture 'a=b'"},
        {{"p.bmp", "10", "20", "--output-dir=o", "--method", "lanczos3"},
         "p.bmp 10 x 20 lanczos3, by picture 'o'"},
        // After "--", and for a '-' with a digit, arguments are no options.
        {{"--", "-h", "10", "20"}, "-h 10 x 20 lanczos3,hybrid,dct, by picture ''"},
        {{"-o", "d", "--", "--progress", "10", "-20"},
         "--progress 10 x -20 lanczos3,hybrid,dct, by picture 'd'"},
        {{"--max-pixels", "0", "p.bmp", "10", "20"},
         "p.bmp 10 x 20 lanczos3,hybrid,dct, by picture '' at most 0"},
        {{"p.bmp", "10", "20", "--max-pixels=18446744073709551615"},
         "p.bmp 10 x 20 lanczos3,hybrid,dct, by picture '' at most 18446744073709551615"},
    };
    for (const auto& c : cases) {
        const DriverArguments a = parse(c.args);
        ASSERT_EQ(a.action, DriverArguments::Action::run) << shown(c.args) << a.wrong;
        EXPECT_EQ(summary(a), c.summary) << shown(c.args);
    }
}

}  // namespace
