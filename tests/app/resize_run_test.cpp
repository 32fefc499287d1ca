// The run with a progress object: what it reports, what a stop leaves behind, and that
// following a run changes none of its bytes.

#include "app/resize_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <mutex>
#include <random>
#include <vector>

#include "image/picture.h"
#include "kernel_resize/lanczos3.h"
#include "tests/support/bmp_builder.h"
#include "tests/support/each_isa.h"
#include "tests/support/png_builder.h"
#include "tests/support/run_driver.h"
#include "tests/support/temp_dir.h"

namespace {

const char* const kSuffixes[kMethodCount] = {"_lanczos3.bmp", "_hybrid.bmp", "_dct.bmp"};

// A picture in its own folder, enlarged enough that each method reports many units.
struct Scene {
    TempDir dir;
    std::string picture = dir.file("in.bmp");
    explicit Scene(int W = 40, int H = 30) {
        write_file(picture, encode_bmp(random_picture(W, H, 7)));
    }
    std::string result(int method) const { return dir.file(std::string("in") + kSuffixes[method]); }
};

TEST(ResizeRunProgress, MovesForwardThroughTheMethodsInOrderToTheEnd) {
    Scene s;
    RunProgress p;
    std::mutex mutex;
    std::vector<std::pair<int, double>> seen;
    p.observer = [&](const RunProgress& q) {
        std::lock_guard<std::mutex> lock(mutex);
        seen.emplace_back(q.method(), q.fraction());
    };
    RunReport r = resize_run(s.picture, 200, 150, kAllMethods, &p);
    ASSERT_TRUE(r.ok()) << r.failure_text();
    EXPECT_EQ(p.fraction(), 1.0);
    EXPECT_EQ(p.method(), 2);
    ASSERT_GE(seen.size(), 20u);
    int distinct = 1;
    for (std::size_t i = 1; i < seen.size(); ++i) {
        EXPECT_GE(seen[i].first, seen[i - 1].first) << i;
        EXPECT_GE(seen[i].second, seen[i - 1].second) << i;
        distinct += seen[i].second > seen[i - 1].second;
    }
    EXPECT_GE(distinct, 20);
    for (int m = 0; m < kMethodCount; ++m) {
        EXPECT_EQ(r.result_path[m], s.result(m));
        EXPECT_TRUE(file_exists(s.result(m)));
    }
}

TEST(ResizeRunProgress, FollowingTheRunChangesNoByteOnAnyInstructionSet) {
    for_each_isa([] {
        Scene plain, followed;
        ASSERT_TRUE(resize_run(plain.picture, 61, 47).ok());
        RunProgress p;
        p.observer = [](const RunProgress& q) { (void)q.fraction(); };
        ASSERT_TRUE(resize_run(followed.picture, 61, 47, kAllMethods, &p).ok());
        for (int m = 0; m < kMethodCount; ++m)
            EXPECT_EQ(read_file(followed.result(m)), read_file(plain.result(m))) << kSuffixes[m];
    });
}

// Stops the run once method `at` has reported two units; all that method's later units and
// the methods after it are skipped.
class StopDuring : public ::testing::TestWithParam<int> {};

TEST_P(StopDuring, KeepsEarlierResultsAndWritesNothingMore) {
    const int at = GetParam();
    Scene s, reference;
    ASSERT_TRUE(resize_run(reference.picture, 200, 150).ok());
    // An earlier result of the stopped method must survive the stop whole.
    write_file(s.result(at), {'o', 'l', 'd'});
    RunProgress p;
    std::atomic<int> units{0};
    p.observer = [&](const RunProgress& q) {
        if (q.method() == at && ++units == 2) {
            p.request_stop();
            p.request_stop();  // a second stop changes nothing
        }
    };
    RunReport r = resize_run(s.picture, 200, 150, kAllMethods, &p);
    EXPECT_TRUE(r.input.ok());
    EXPECT_TRUE(r.stopped());
    EXPECT_FALSE(r.ok());
    EXPECT_EQ(r.failure_text(), "");
    std::vector<std::string> expected_files = {"in.bmp"};
    for (int m = 0; m < kMethodCount; ++m) {
        if (m < at) {
            EXPECT_TRUE(r.method[m].ok()) << m;
            EXPECT_EQ(read_file(s.result(m)), read_file(reference.result(m))) << m;
            expected_files.push_back(std::string("in") + kSuffixes[m]);
        } else {
            EXPECT_EQ(r.method[m].code, StatusCode::stopped) << m;
            EXPECT_TRUE(r.result_path[m].empty()) << m;
        }
    }
    EXPECT_EQ(read_file(s.result(at)), (std::vector<std::uint8_t>{'o', 'l', 'd'}));
    expected_files.push_back(std::string("in") + kSuffixes[at]);
    std::sort(expected_files.begin(), expected_files.end());
    // No temporary file is left either.
    EXPECT_EQ(files_in(s.dir.path()), expected_files);
}

INSTANTIATE_TEST_SUITE_P(EachMethod, StopDuring, ::testing::Values(0, 1, 2),
                         [](const ::testing::TestParamInfo<int>& i) {
                             return std::string(method_name(i.param));
                         });

// A fatal allocation failure ends the process from inside a method, on whichever of its
// threads: the results finished before it are still put in place whole, and nothing else is
// left beside them.
TEST(ResizeRunDeathTest, ResultsFinishedBeforeAFatalExitArePutInPlace) {
    Scene s, reference;
    ASSERT_TRUE(resize_run(reference.picture, 200, 150, kMethodLanczos3).ok());
    EXPECT_EXIT(
        {
            RunProgress p;
            std::atomic<bool> ended{false};
            p.observer = [&ended](const RunProgress& q) {
                if (q.method() == 1 && !ended.exchange(true)) std::exit(1);
            };
            (void)resize_run(s.picture, 200, 150, kAllMethods, &p);
        },
        ::testing::ExitedWithCode(1), "");
    EXPECT_EQ(read_file(s.result(0)), read_file(reference.result(0)));
    EXPECT_EQ(files_in(s.dir.path()), (std::vector<std::string>{"in.bmp", "in_lanczos3.bmp"}));
}

TEST(ResizeRunProgress, AStopBeforeTheRunRunsNoMethod) {
    Scene s;
    RunProgress p;
    p.request_stop();
    RunReport r = resize_run(s.picture, 80, 60, kMethodLanczos3 | kMethodDct, &p);
    EXPECT_TRUE(r.stopped());
    EXPECT_EQ(r.method[0].code, StatusCode::stopped);
    EXPECT_TRUE(r.method[1].ok());  // not asked for
    EXPECT_EQ(r.method[2].code, StatusCode::stopped);
    EXPECT_EQ(files_in(s.dir.path()), std::vector<std::string>{"in.bmp"});
}

TEST(ResizeRunProgress, AStoppedRunStaysWhereItStoppedAndSkipsEvenARefusal) {
    Scene s;
    RunProgress p;
    std::atomic<int> units{0};
    p.observer = [&](const RunProgress& q) {
        if (q.method() == 2 && ++units == 3) p.request_stop();
    };
    RunReport r = resize_run(s.picture, 200, 150, kMethodDct, &p);
    EXPECT_EQ(r.method[2].code, StatusCode::stopped);
    EXPECT_GT(p.fraction(), 0.0);
    EXPECT_LT(p.fraction(), 0.5);

    // The DCT method would refuse to shrink; after a stop in the hybrid it is not even asked.
    RunProgress q;
    q.observer = [&q](const RunProgress& o) {
        if (o.method() == 1) q.request_stop();
    };
    r = resize_run(s.picture, 20, 15, kMethodHybrid | kMethodDct, &q);
    EXPECT_EQ(r.method[1].code, StatusCode::stopped);
    EXPECT_EQ(r.method[2].code, StatusCode::stopped);
    EXPECT_EQ(r.failure_text(), "");
}

TEST(ResizeRunProgress, AMethodThatFailsStillEndsItsPart) {
    Scene s;
    RunProgress p;
    RunReport r = resize_run(s.picture, 20, 15, kMethodLanczos3 | kMethodDct, &p);
    EXPECT_TRUE(r.method[0].ok());
    EXPECT_EQ(r.method[2].code, StatusCode::bad_size);
    EXPECT_TRUE(r.result_path[2].empty());
    EXPECT_FALSE(r.stopped());
    EXPECT_NE(r.failure_text().find("dct"), std::string::npos);
    EXPECT_EQ(p.fraction(), 1.0);
}

// A PNG picture with transparency, in its own folder.
struct TransparentScene {
    TempDir dir;
    std::string picture = dir.file("in.png");
    TransparentScene(int W, int H) {
        PngLayout s;
        s.width = W;
        s.height = H;
        s.colour_type = 6;
        const TestPicture pic = random_picture(W, H, 5);
        for (std::size_t i = 0; i < pic.pixels.size(); ++i)
            s.samples.insert(s.samples.end(), {pic.pixels[i].r, pic.pixels[i].g, pic.pixels[i].b,
                                               static_cast<std::uint16_t>(i % 2 ? 255 : 60)});
        write_file(picture, encode_png_file(s));
    }
};

TEST(ResizeRunFormat, ThePicturesKindOrTheChoiceDecides) {
    TransparentScene png(8, 6);
    Scene bmp(8, 6);
    const struct {
        const std::string& picture;
        FormatChoice choice;
        const char* extension;
    } cases[] = {{png.picture, FormatChoice::by_picture, ".png"},
                 {png.picture, FormatChoice::bmp, ".bmp"},
                 {bmp.picture, FormatChoice::by_picture, ".bmp"},
                 {bmp.picture, FormatChoice::png, ".png"}};
    for (const auto& c : cases) {
        const RunReport r = resize_run(c.picture, 16, 12, kAllMethods, nullptr, c.choice);
        ASSERT_TRUE(r.ok()) << r.failure_text();
        const std::string stem = c.picture.substr(0, c.picture.size() - 4);
        for (int m = 0; m < kMethodCount; ++m) {
            const std::string want = stem + "_" + method_name(m) + c.extension;
            EXPECT_EQ(r.result_path[m], want);
            EXPECT_TRUE(file_exists(want)) << want;
        }
        // Only a BMP result of the transparent picture loses something, and says so.
        const bool drops_alpha = &c.picture == &png.picture && c.choice == FormatChoice::bmp;
        EXPECT_EQ(r.notice.empty(), !drops_alpha) << r.notice;
        if (drops_alpha) {
            EXPECT_EQ(r.notice, "'" + png.picture +
                                    "' is partly transparent, which BMP results cannot keep: "
                                    "they hold its colours only");
        }
    }
}

TEST(ResizeRunFormat, ASideOfZeroIsRefusedForPngBeforeAnyMethodRuns) {
    Scene s(8, 6);
    const RunReport r = resize_run(s.picture, 0, 6, kAllMethods, nullptr, FormatChoice::png);
    EXPECT_EQ(r.input.code, StatusCode::bad_size);
    EXPECT_EQ(files_in(s.dir.path()), std::vector<std::string>{"in.bmp"});
    // The original results of no pixels stay possible as BMP.
    EXPECT_TRUE(resize_run(s.picture, 0, 6, kMethodLanczos3).ok());
}

// The alpha plane and the weighted colours are held and enlarged too, whatever the results'
// format: a memory limit between what a method needs without them and with them refuses a
// transparent picture's run in PNG and in BMP, and lets an opaque picture of the size go.
TEST(ResizeRunFormat, AlphaCountsInTheMemoryAMethodNeeds) {
    TransparentScene s(300, 200);
    Scene opaque(300, 200);
    const std::uint64_t held3 = 3 * 300 * 200, held4 = 4 * 300 * 200;
    const std::uint64_t without = lanczos3_memory_needed(300, 200, 3000, 2000, false) + held3;
    const std::uint64_t with = lanczos3_memory_needed(300, 200, 3000, 2000, true) + held4;
    ASSERT_LT(without, with);
    ASSERT_EQ(setenv("ENLARGE3_MEMORY_LIMIT", std::to_string((without + with) / 2).c_str(), 1), 0);
    const RunReport png = resize_run(s.picture, 3000, 2000, kMethodLanczos3);
    const RunReport bmp =
        resize_run(s.picture, 3000, 2000, kMethodLanczos3, nullptr, FormatChoice::bmp);
    const RunReport plain = resize_run(opaque.picture, 3000, 2000, kMethodLanczos3);
    unsetenv("ENLARGE3_MEMORY_LIMIT");
    ASSERT_TRUE(png.input.ok()) << png.failure_text();
    EXPECT_EQ(png.method[0].code, StatusCode::too_large) << png.failure_text();
    EXPECT_EQ(bmp.method[0].code, StatusCode::too_large) << bmp.failure_text();
    EXPECT_TRUE(plain.ok()) << plain.failure_text();
}

// A PNG picture of width x height pixels, colour(x, y) and alpha(x, y), in its own folder.
struct RgbaScene {
    TempDir dir;
    std::string picture = dir.file("in.png");
    template <class Pixel>
    RgbaScene(int width, int height, Pixel pixel) {
        PngLayout s;
        s.width = width;
        s.height = height;
        s.colour_type = 6;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const std::array<int, 4> p = pixel(x, y);
                for (int v : p) s.samples.push_back(static_cast<std::uint16_t>(v));
            }
        write_file(picture, encode_png_file(s));
    }
    PlanarPicture result(const char* method, const char* extension = ".png") const {
        PlanarPicture p;
        const Status st = read_picture(dir.file(std::string("in_") + method + extension), &p);
        EXPECT_TRUE(st.ok()) << st.message;
        return p;
    }
};

// The largest distance of a result's colour from c where its alpha is at least 32.
int colour_error(const PlanarPicture& p, const std::array<int, 3>& c) {
    const HeapArray<std::uint8_t>* planes[3] = {&p.red, &p.green, &p.blue};
    int worst = 0;
    for (std::size_t i = 0; i < static_cast<std::size_t>(p.width) * p.height; ++i)
        for (int k = 0; k < 3; ++k)
            if (p.alpha[i] >= 32) worst = std::max(worst, std::abs((*planes[k])[i] - c[k]));
    return worst;
}

// One colour under any alpha keeps its level wherever the result shows it (alpha 32 or more),
// with every method, whatever colours hide under the clear pixels.
TEST(ResizeRunTransparency, OneColourUnderAnyAlphaKeepsItsLevel) {
    const struct {
        const char* name;
        int (*alpha)(int x, int y, unsigned noise);
    } patterns[] = {
        {"steps of 85", [](int x, int y, unsigned) { return 85 * ((x / 3 + y / 2) % 4); }},
        {"noise", [](int, int, unsigned n) { return static_cast<int>(n % 256); }},
        {"clear and opaque", [](int x, int y, unsigned) { return (x + y) % 5 < 2 ? 0 : 255; }},
        {"a ramp", [](int x, int, unsigned) { return std::min(255, 12 * x); }},
    };
    const std::array<int, 3> colours[] = {{200, 30, 120}, {3, 250, 128}};
    for (const auto& pattern : patterns)
        for (const std::array<int, 3>& c : colours) {
            std::minstd_rand rng(5);
            const RgbaScene scene(23, 17, [&](int x, int y) {
                const int a = pattern.alpha(x, y, static_cast<unsigned>(rng()));
                // Under alpha 0 any colour an editor left there.
                const int hidden = static_cast<int>(rng() % 256);
                return std::array<int, 4>{a == 0 ? hidden : c[0], a == 0 ? 255 - hidden : c[1],
                                          a == 0 ? hidden / 2 : c[2], a};
            });
            const RunReport r = resize_run(scene.picture, 61, 44);
            ASSERT_TRUE(r.ok()) << r.failure_text();
            for (int m = 0; m < kMethodCount; ++m)
                EXPECT_LE(colour_error(scene.result(method_name(m)), c), 1)
                    << pattern.name << ", " << method_name(m) << ", colour " << c[0];
        }
}

// A white disc on transparent black, 64 x 64 to 256 x 256: no dark ring, with every method,
// and a BMP result holds the colours of the PNG result, saying that it keeps no transparency.
TEST(ResizeRunTransparency, WhiteDiscOnTransparentBlackHasNoDarkRing) {
    const RgbaScene scene(64, 64, [](int x, int y) {
        // Edge pixels partly covered.
        const double d = std::hypot(x + 0.5 - 32, y + 0.5 - 32);
        const int a = static_cast<int>(std::lround(std::clamp(24.5 - d, 0.0, 1.0) * 255));
        const int c = a == 0 ? 0 : 255;
        return std::array<int, 4>{c, c, c, a};
    });
    ASSERT_TRUE(resize_run(scene.picture, 256, 256).ok());
    const RunReport bmp =
        resize_run(scene.picture, 256, 256, kAllMethods, nullptr, FormatChoice::bmp);
    ASSERT_TRUE(bmp.ok()) << bmp.failure_text();
    EXPECT_NE(bmp.notice.find("partly transparent"), std::string::npos) << bmp.notice;
    for (int m = 0; m < kMethodCount; ++m) {
        const PlanarPicture png = scene.result(method_name(m));
        EXPECT_LE(colour_error(png, {255, 255, 255}), 1) << method_name(m);
        const PlanarPicture flat = scene.result(method_name(m), ".bmp");
        EXPECT_FALSE(flat.has_alpha());
        const std::size_t n = 256 * 256;
        EXPECT_TRUE(std::equal(flat.red.get(), flat.red.get() + n, png.red.get()))
            << method_name(m);
        EXPECT_TRUE(std::equal(flat.blue.get(), flat.blue.get() + n, png.blue.get()))
            << method_name(m);
    }
}

}  // namespace

namespace {

// The name results take in an output folder is the picture's file name there, whatever
// folder the picture is in; without a folder it is the picture's own path.
TEST(ResultsNamingPath, IsThePicturesFileNameInTheOutputFolder) {
    EXPECT_EQ(results_naming_path("photos/2024/cat.bmp", "out"), "out/cat.bmp");
    EXPECT_EQ(results_naming_path("cat.bmp", "out/"), "out/cat.bmp");
    EXPECT_EQ(results_naming_path("/abs/scans.d/page", "/tmp/o"), "/tmp/o/page");
    EXPECT_EQ(results_naming_path("photos/cat.bmp", ""), "photos/cat.bmp");
    EXPECT_EQ(method_result_name(results_naming_path("a.b/holiday.jpeg", "out"), "dct",
                                 ResultFormat::png),
              "out/holiday_dct.png");
}

// A run refused before the folder is made leaves no folder; a run with one writes its results
// there and reports their paths.
TEST(ResizeRunOutputFolder, IsMadeOnlyForARunThatWillWriteAndReportsTheResultsThere) {
    Scene s(8, 6);
    OutputSize size;
    ASSERT_TRUE(parse_output_size("1%", "auto", &size).ok());
    RunReport r = resize_run(s.picture, size, s.dir.file("out"), kMethodLanczos3);
    EXPECT_EQ(r.input.code, StatusCode::bad_size);
    EXPECT_FALSE(file_exists(s.dir.file("out")));

    ASSERT_TRUE(parse_output_size("2x", "auto", &size).ok());
    r = resize_run(s.picture, size, s.dir.file("out"), kMethodLanczos3);
    ASSERT_TRUE(r.ok()) << r.failure_text();
    EXPECT_EQ(r.result_path[0], s.dir.file("out") + "/in_lanczos3.bmp");
    const TestPicture result = decode_result_bmp(read_file(r.result_path[0]));
    EXPECT_EQ(result.width, 16);
    EXPECT_EQ(result.height, 12);
    EXPECT_FALSE(file_exists(s.result(0)));
}

}  // namespace
