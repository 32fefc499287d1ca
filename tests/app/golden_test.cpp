// Golden results: the SHA-256 of every result file for a spread of pictures and sizes, recorded
// from the plain implementation of each method. Faster code must reproduce every byte, and so
// must the driver on every platform: the results come from the command-line driver as a user
// runs it (enlarge3.exe in the Windows build).
//
// To print the hashes of the current build (after a deliberate change of results):
//   ENLARGE3_GOLDEN_PRINT=1 build/tests/app/golden_test

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "app/resize_run.h"
#include "tests/support/bmp_builder.h"
#include "tests/support/run_driver.h"
#include "tests/support/sha256.h"
#include "tests/support/temp_dir.h"

namespace {

// Smooth gradients, a hard-edged block, a thin line and noise: every method's every branch.
TestPicture photo_like(int W, int H, unsigned seed) {
    TestPicture p;
    p.width = W;
    p.height = H;
    std::mt19937 rng(seed);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            double u = (x + 0.5) / W, v = (y + 0.5) / H;
            double r = 128 + 100 * std::sin(6.0 * u + 2.0 * v);
            double g = 90 + 80 * std::cos(4.0 * v - 3.0 * u * v);
            double b = 60 + 150 * u * v;
            if (u > 0.3 && u < 0.6 && v > 0.25 && v < 0.7) r = 250, g = 20, b = 30;
            if (x == W / 5) r = g = b = 255;
            int n = static_cast<int>(rng() % 11) - 5;
            auto c = [n](double t) {
                int i = static_cast<int>(t) + n;
                return static_cast<std::uint8_t>(i < 0 ? 0 : i > 255 ? 255 : i);
            };
            p.pixels.push_back({c(r), c(g), c(b)});
        }
    return p;
}

struct Golden {
    const char* name;
    int W, H, W2, H2;
    const char* hash[kMethodCount];  // lanczos3, hybrid, dct; nullptr: the method refuses
};

void PrintTo(const Golden& g, std::ostream* os) { *os << g.name; }

// clang-format off
const Golden kGoldens[] = {
#include "tests/app/golden_hashes.inc"
};
// clang-format on

class GoldenResults : public ::testing::TestWithParam<Golden> {};

// Results whose bytes differ on Windows, by case and method name. The DCT method's twiddles and
// chirps come from the C library's sin and cos, and MinGW's round one in 525 of the methods'
// arguments differently from glibc's, with which every hash was recorded (base/trig.h); most
// such last-bit differences vanish when samples are truncated to bytes, five samples here do not.
struct KnownDifference {
    const char* golden;
    const char* method;
};
#ifdef _WIN32
const std::vector<KnownDifference> kDifferHere = {{"ManyLines", "dct"}};
#else
const std::vector<KnownDifference> kDifferHere = {};
#endif

bool known_difference(const Golden& g, int m) {
    for (const KnownDifference& d : kDifferHere)
        if (std::string(d.golden) == g.name && std::string(d.method) == method_name(m)) return true;
    return false;
}

TEST_P(GoldenResults, EveryByteAsRecorded) {
    const Golden& g = GetParam();
    TempDir dir;
    std::string path = dir.file("g.bmp");
    write_file(path, encode_bmp(photo_like(g.W, g.H, static_cast<unsigned>(g.W * 7 + g.H))));
    Outcome o = run_program(dir, ENLARGE3_EXE, {path, std::to_string(g.W2), std::to_string(g.H2)});
    bool all_written = true;
    for (int m = 0; m < kMethodCount; ++m) all_written = all_written && g.hash[m] != nullptr;
    // A method that refuses the size fails the run after the others wrote theirs.
    EXPECT_EQ(o.status, all_written ? 0 : 1) << o.err;
    const bool print = std::getenv("ENLARGE3_GOLDEN_PRINT") != nullptr;
    std::string line = std::string("    {\"") + g.name + "\", " + std::to_string(g.W) + ", " +
                       std::to_string(g.H) + ", " + std::to_string(g.W2) + ", " +
                       std::to_string(g.H2) + ", {";
    std::string skipped;
    for (int m = 0; m < kMethodCount; ++m) {
        std::string file = dir.file(std::string("g_") + method_name(m) + ".bmp");
        std::string got = file_exists(file) ? sha256_hex(read_file(file)) : std::string();
        line += got.empty() ? "nullptr" : "\"" + got + "\"";
        line += m + 1 < kMethodCount ? ", " : "}},";
        if (print) continue;
        if (g.hash[m] == nullptr) {
            EXPECT_FALSE(file_exists(file)) << method_name(m) << " should refuse";
            EXPECT_NE(o.err.find(std::string(method_name(m)) + ": "), std::string::npos) << o.err;
        } else if (known_difference(g, m)) {
            skipped += std::string(skipped.empty() ? "" : ", ") + method_name(m);
        } else {
            EXPECT_EQ(got, g.hash[m]) << method_name(m);
        }
    }
    if (print) std::printf("%s\n", line.c_str());
    if (!skipped.empty())
        GTEST_SKIP() << skipped
                     << ": the bytes differ on Windows, whose sin and cos round "
                        "differently from glibc's (the other methods were checked)";
}

INSTANTIATE_TEST_SUITE_P(Pictures, GoldenResults, ::testing::ValuesIn(kGoldens),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(Sha256, KnownDigests) {
    EXPECT_EQ(sha256_hex({}), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(sha256_hex({'a', 'b', 'c'}),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    std::vector<std::uint8_t> million(1000000, 'a');
    EXPECT_EQ(sha256_hex(million),
              "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

}  // namespace
