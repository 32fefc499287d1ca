#include "base/progress.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

// One tick of the counter, 2^-32: the most a fraction may fall short after rounding each add.
constexpr double kTick = 1.0 / 4294967296.0;

TEST(RunProgress, MovesThroughEachMethodsPartAndEndsAtItsEnd) {
    RunProgress p;
    EXPECT_EQ(p.method(), -1);
    EXPECT_EQ(p.fraction(), 0.0);
    p.begin_method(0, 0.0, 0.25);
    p.set_units(10);
    EXPECT_EQ(p.method(), 0);
    p.add_units(4);
    EXPECT_NEAR(p.fraction(), 0.1, kTick);
    p.add_units(6);
    EXPECT_NEAR(p.fraction(), 0.25, kTick);
    EXPECT_LE(p.fraction(), 0.25);
    p.end_method();
    p.begin_method(2, 0.25, 1.0);
    EXPECT_EQ(p.method(), 2);
    EXPECT_EQ(p.fraction(), 0.25);
    p.set_units(3);
    p.add_units(1);
    EXPECT_NEAR(p.fraction(), 0.5, kTick);
    p.end_method();
    EXPECT_EQ(p.fraction(), 1.0);
}

TEST(RunProgress, NeverPassesTheMethodsPartNorGoesBack) {
    RunProgress p;
    p.begin_method(0, 0.0, 0.5);
    p.set_units(4);
    p.add_units(100);  // more than announced
    EXPECT_EQ(p.fraction(), 0.5);
    // A method that reports nothing stays where it began until it ends.
    p.begin_method(1, 0.5, 0.8);
    p.set_units(0);
    p.add_units(7);
    EXPECT_EQ(p.fraction(), 0.5);
    // A part that begins before the fraction leaves it where it is.
    p.begin_method(2, 0.2, 0.9);
    EXPECT_EQ(p.fraction(), 0.5);
    p.end_method();
    EXPECT_NEAR(p.fraction(), 0.9, kTick);
}

TEST(RunProgress, UnitsFromManyThreadsAddUp) {
    RunProgress p;
    p.begin_method(1, 0.25, 0.75);
    p.set_units(4000);
    std::atomic<int> observed{0};
    p.observer = [&observed](const RunProgress&) { ++observed; };
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&p] {
            for (int i = 0; i < 1000; ++i) p.add_units(1);
        });
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(observed.load(), 4000);
    EXPECT_LE(p.fraction(), 0.75);
    EXPECT_GE(p.fraction(), 0.75 - 4000 * kTick);
}

TEST(RunProgress, StopIsARequestAnyThreadMayMakeOnce) {
    RunProgress p;
    EXPECT_FALSE(p.stop_requested());
    std::thread([&p] { p.request_stop(); }).join();
    EXPECT_TRUE(p.stop_requested());
    p.request_stop();
    EXPECT_TRUE(p.stop_requested());
    EXPECT_TRUE(stop_requested(&p));
    EXPECT_FALSE(stop_requested(nullptr));
    add_units(nullptr, 3);  // absent progress: nothing to count
    const Status s = stopped_status("dct");
    EXPECT_EQ(s.code, StatusCode::stopped);
    EXPECT_EQ(s.message, "dct: stopped");
}

}  // namespace
