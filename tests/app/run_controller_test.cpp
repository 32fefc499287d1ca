#include "app/run_controller.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "tests/app/window_languages.h"
#include "tests/support/bmp_builder.h"

namespace {

using namespace std::chrono_literals;

// Holds the calling run until its stop is asked for, at most ten seconds; says whether it came.
bool hold_until_stopped(const RunProgress& p) {
    for (int i = 0; i < 10000 && !p.stop_requested(); ++i) std::this_thread::sleep_for(1ms);
    return p.stop_requested();
}

RunReport stopped_report() {
    RunReport report;
    report.method[1] = stopped_status("hybrid");
    return report;
}

// A model that asked for a run: a picture dropped and GO pressed.
class RunControllerTest : public ::testing::Test {
   protected:
    void SetUp() override {
        (void)window_create(&m, expected_texts("ja"));
        const std::vector<unsigned char> bmp = make_bmp(5, 3);
        (void)window_drop(&m, {"/p/cat.bmp"}, [&bmp](const std::string&, FileBytes* out) {
            auto* block = new unsigned char[bmp.size()];
            std::copy(bmp.begin(), bmp.end(), block);
            out->data = std::shared_ptr<unsigned char>(block, [](unsigned char* p) { delete[] p; });
            out->size = out->file_length = bmp.size();
            return true;
        });
        const WindowEffects go = window_command(&m, kGoButtonId, 0, std::string());
        ASSERT_TRUE(go.run);
        request = go.request;
    }

    void start(RunFn run) {
        c.set_run_function(std::move(run));
        c.start(request, [this] {
            std::lock_guard<std::mutex> lock(mutex);
            ended = true;
            woken.notify_all();
        });
    }

    bool wait_for_ended() {
        std::unique_lock<std::mutex> lock(mutex);
        return woken.wait_for(lock, 20s, [this] { return ended; });
    }

    WindowModel m;
    RunRequest request;
    std::mutex mutex;
    std::condition_variable woken;
    bool ended = false;
    RunController c;  // last: its run, which may still call ended, is joined first
};

TEST_F(RunControllerTest, TheRunGoesOnItsOwnThreadAndFinishEndsItInTheModel) {
    EXPECT_FALSE(c.poll(&m).update_progress);  // no run yet
    std::thread::id run_thread;
    RunRequest got;
    start([&](const RunRequest& r, RunProgress* p) {
        run_thread = std::this_thread::get_id();
        got = r;
        EXPECT_NE(p, nullptr);
        RunReport report;
        report.notice = "only the colours";
        return report;
    });
    EXPECT_TRUE(c.going());
    ASSERT_TRUE(wait_for_ended());
    std::string notice;
    const WindowEffects e = c.finish(&m, &notice);
    EXPECT_NE(run_thread, std::this_thread::get_id());
    EXPECT_EQ(got.path, "/p/cat.bmp");
    EXPECT_EQ(got.out_width, 5);
    EXPECT_EQ(got.out_height, 3);
    EXPECT_EQ(notice, "only the colours");
    EXPECT_TRUE(e.update_progress);
    EXPECT_FALSE(m.running);
    EXPECT_EQ(m.progress_text, "完了");
    EXPECT_FALSE(c.going());
    // Once finished, nothing more ends.
    EXPECT_FALSE(c.finish(&m, &notice).update_progress);
    EXPECT_EQ(notice, "");
}

// The bar ends where the run got, which may be past the last poll: a stopped run stays there.
TEST_F(RunControllerTest, PollShowsTheProgressAStopReachesTheRunAndFinishTakesItsLastStep) {
    std::atomic<bool> halfway{false};
    start([&](const RunRequest&, RunProgress* p) {
        p->begin_method(1, 0.25, 0.5);
        p->set_units(4);
        p->add_units(2);
        halfway = true;
        EXPECT_TRUE(hold_until_stopped(*p));
        p->add_units(1);
        return stopped_report();
    });
    while (!halfway) std::this_thread::sleep_for(1ms);
    EXPECT_TRUE(c.poll(&m).update_progress);
    EXPECT_EQ(m.progress_steps, 375);
    EXPECT_EQ(m.progress_text.rfind("Hybrid", 0), 0u) << m.progress_text;

    const WindowEffects stop = window_stop(&m);
    ASSERT_TRUE(stop.stop);
    c.request_stop();
    ASSERT_TRUE(wait_for_ended());
    std::string notice;
    (void)c.finish(&m, &notice);
    EXPECT_EQ(m.progress_steps, 437);
    EXPECT_EQ(m.progress_text, "中止");
    EXPECT_TRUE(m.go_enabled);
}

TEST_F(RunControllerTest, AbandonAndTheDestructorStopTheRunWaitAndDropItsReport) {
    std::atomic<int> stops_seen{0};
    RunFn held = [&](const RunRequest&, RunProgress* p) {
        if (hold_until_stopped(*p)) ++stops_seen;
        return stopped_report();
    };
    start(held);
    c.abandon();
    EXPECT_EQ(stops_seen, 1);
    EXPECT_FALSE(c.going());
    std::string notice;
    EXPECT_FALSE(c.finish(&m, &notice).update_progress);
    EXPECT_TRUE(m.running);  // the report went with the window

    {
        RunController leaving;
        leaving.set_run_function(held);
        leaving.start(request, nullptr);
    }
    EXPECT_EQ(stops_seen, 2);
}

#ifndef _WIN32
// A signal that would end the window part-way (its terminal closed, a logout) stops the run as
// 中止 does; the window ends by it once the run has wound down (and committed its results).
TEST_F(RunControllerTest, ASignalStopsTheRunAndEndsTheWindowByItOnceTheRunHasWoundDown) {
    EXPECT_EXIT(
        {
            std::atomic<bool> begun{false};
            start([&](const RunRequest&, RunProgress* p) {
                begun = true;
                if (!hold_until_stopped(*p)) std::_Exit(3);
                return stopped_report();
            });
            while (!begun) std::this_thread::sleep_for(1ms);
            std::raise(SIGTERM);
            if (wait_for_ended()) std::_Exit(4);  // the run's thread ends the process first
            std::_Exit(5);
        },
        ::testing::KilledBySignal(SIGTERM), "");
}
#endif

}  // namespace
