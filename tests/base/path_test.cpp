#include "base/path.h"

#include <gtest/gtest.h>

namespace {

struct PathCase {
    const char* path;
    const char* file_name;
    const char* parent;
    const char* stem;
};

void PrintTo(const PathCase& c, std::ostream* os) {
    *os << c.path;
}

class PathParts : public ::testing::TestWithParam<PathCase> {};

TEST_P(PathParts, FileNameParentAndStem) {
    const PathCase& c = GetParam();
    EXPECT_EQ(path_file_name(c.path), c.file_name);
    EXPECT_EQ(path_parent(c.path), c.parent);
    EXPECT_EQ(path_stem(c.path), c.stem);
}

INSTANTIATE_TEST_SUITE_P(
    Everywhere, PathParts,
    ::testing::Values(PathCase{"photos/cat.bmp", "cat.bmp", "photos", "cat"},
                      PathCase{"cat.bmp", "cat.bmp", "", "cat"},
                      PathCase{"/cat.bmp", "cat.bmp", "/", "cat"},
                      PathCase{"/a/b//c.tar.png", "c.tar.png", "/a/b", "c.tar"},
                      PathCase{"a/b/", "", "a", ""},
                      PathCase{"scans.d/page", "page", "scans.d", "page"},
                      PathCase{"p/.png", ".png", "p", ""}, PathCase{"", "", "", ""},
                      PathCase{"/p/\xE5\x86\x99\xE7\x9C\x9F.jpg", "\xE5\x86\x99\xE7\x9C\x9F.jpg",
                               "/p", "\xE5\x86\x99\xE7\x9C\x9F"}));

// A backslash separates on Windows only; elsewhere it is a character of a name.
#ifdef _WIN32
INSTANTIATE_TEST_SUITE_P(
    Backslash, PathParts,
    ::testing::Values(PathCase{"C:\\pics\\cat.bmp", "cat.bmp", "C:\\pics", "cat"},
                      PathCase{"C:\\cat.bmp", "cat.bmp", "C:", "cat"},
                      PathCase{"C:/pics\\scans.d/page", "page", "C:/pics\\scans.d", "page"},
                      PathCase{"\\\\server\\share\\a.png", "a.png", "\\\\server\\share", "a"}));
#else
INSTANTIATE_TEST_SUITE_P(
    Backslash, PathParts,
    ::testing::Values(PathCase{"C:\\pics\\cat.bmp", "C:\\pics\\cat.bmp", "", "C:\\pics\\cat"},
                      PathCase{"/p/a\\b.d\\c.png", "a\\b.d\\c.png", "/p", "a\\b.d\\c"},
                      PathCase{"/p/cat\\", "cat\\", "/p", "cat\\"}));
#endif

TEST(PathJoin, AddsOneSeparatorWhereNoneIs) {
#ifdef _WIN32
    EXPECT_EQ(path_join("out", "cat.bmp"), "out\\cat.bmp");
    EXPECT_EQ(path_join("out\\", "cat.bmp"), "out\\cat.bmp");
#else
    EXPECT_EQ(path_join("out", "cat.bmp"), "out/cat.bmp");
    EXPECT_EQ(path_join("out\\", "cat.bmp"), "out\\/cat.bmp");
#endif
    EXPECT_EQ(path_join("out/", "cat.bmp"), "out/cat.bmp");
    EXPECT_EQ(path_join("/", "cat.bmp"), "/cat.bmp");
    EXPECT_EQ(path_join("", "cat.bmp"), "cat.bmp");
}

}  // namespace
