// The run with a progress object: what it reports, what a stop leaves behind, and that
// following a run changes none of its bytes.

#include "app/resize_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <vector>

#include "tests/support/bmp_builder.h"
#include "tests/support/each_isa.h"
#include "tests/support/run_driver.h"

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

}  // namespace
