#pragma once
// Checks shared by the tests of the picture readers: every kind must give the planes of the
// samples it holds, laid out as the tool lays them out.

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "base/plane.h"
#include "base/status.h"
#include "tests/support/bmp_builder.h"

// pic's samples as planes: column x, row t (0 = top) at x * height + t.
inline PlanarPicture expected_planes(const TestPicture& pic) {
    PlanarPicture planes;
    const std::size_t n = pic.pixels.size();
    planes.width = pic.width;
    planes.height = pic.height;
    planes.red = HeapArray<std::uint8_t>(n, "red");
    planes.green = HeapArray<std::uint8_t>(n, "green");
    planes.blue = HeapArray<std::uint8_t>(n, "blue");
    for (int x = 0; x < pic.width; ++x)
        for (int t = 0; t < pic.height; ++t) {
            const std::size_t i = static_cast<std::size_t>(x * pic.height + t);
            planes.red[i] = pic.at(x, t).r;
            planes.green[i] = pic.at(x, t).g;
            planes.blue[i] = pic.at(x, t).b;
        }
    return planes;
}

// Whether got holds want's colour planes, byte for byte; a failure names the first pixel
// that differs.
inline ::testing::AssertionResult same_colour_planes(const PlanarPicture& got,
                                                     const PlanarPicture& want) {
    if (got.width != want.width || got.height != want.height)
        return ::testing::AssertionFailure()
               << "size " << got.width << " x " << got.height << ", expected " << want.width
               << " x " << want.height;
    const std::uint8_t* g[3] = {got.red.get(), got.green.get(), got.blue.get()};
    const std::uint8_t* w[3] = {want.red.get(), want.green.get(), want.blue.get()};
    const char* names[3] = {"red", "green", "blue"};
    const std::size_t n = static_cast<std::size_t>(got.width) * static_cast<std::size_t>(got.height);
    for (int c = 0; c < 3; ++c)
        for (std::size_t i = 0; i < n; ++i)
            if (g[c][i] != w[c][i])
                return ::testing::AssertionFailure()
                       << names[c] << " at x " << i / static_cast<std::size_t>(got.height)
                       << ", y " << i % static_cast<std::size_t>(got.height) << ": "
                       << int{g[c][i]} << ", expected " << int{w[c][i]};
    return ::testing::AssertionSuccess();
}

// Whether got's alpha plane holds alpha (row-major from the top, as TestPicture's pixels);
// an empty alpha means the picture must have no alpha plane.
inline ::testing::AssertionResult same_alpha(const PlanarPicture& got,
                                             const std::vector<std::uint8_t>& alpha) {
    if (alpha.empty())
        return got.has_alpha() ? ::testing::AssertionFailure() << "an unexpected alpha plane"
                               : ::testing::AssertionSuccess();
    if (!got.has_alpha()) return ::testing::AssertionFailure() << "no alpha plane";
    for (int y = 0; y < got.height; ++y)
        for (int x = 0; x < got.width; ++x) {
            const std::uint8_t a = got.alpha[static_cast<std::size_t>(x * got.height + y)];
            const std::uint8_t e = alpha[static_cast<std::size_t>(y * got.width + x)];
            if (a != e)
                return ::testing::AssertionFailure() << "alpha at x " << x << ", y " << y << ": "
                                                     << int{a} << ", expected " << int{e};
        }
    return ::testing::AssertionSuccess();
}

// Whether a refusal is one line that names the file and says why.
inline ::testing::AssertionResult clear_refusal(const Status& st, const std::string& name,
                                                const std::string& says) {
    if (st.ok()) return ::testing::AssertionFailure() << "accepted";
    if (st.message.find('\n') != std::string::npos)
        return ::testing::AssertionFailure() << "more than one line: " << st.message;
    if (st.message.find(name) == std::string::npos)
        return ::testing::AssertionFailure() << "does not name " << name << ": " << st.message;
    if (st.message.find(says) == std::string::npos)
        return ::testing::AssertionFailure() << "does not say \"" << says << "\": " << st.message;
    return ::testing::AssertionSuccess();
}

// A file a reader must refuse: the status code and a part of the message it must give.
struct Refusal {
    const char* name;  // the test's name
    StatusCode code;
    const char* says;
    std::vector<std::uint8_t> bytes;
};

inline void PrintTo(const Refusal& c, std::ostream* os) { *os << c.name; }

// Checks what a reader did with c's bytes, read under the name file_name.
inline void expect_refused(const Refusal& c, const Status& st, const PlanarPicture& got,
                           const std::string& file_name) {
    EXPECT_EQ(st.code, c.code) << st.message;
    EXPECT_TRUE(clear_refusal(st, file_name, c.says));
    EXPECT_EQ(got.red.get(), nullptr) << "a refused picture leaves no planes";
}
