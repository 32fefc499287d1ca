// The signals that end a process, turned into a stop of the run while a SignalStop lives. The
// signals are the process's own, so every case runs in a process of its own (a death test);
// tests/app/driver_stop_test.cpp sends them to the driver during each method.

#include "base/stop_signals.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "base/durable_file.h"
#include "tests/support/run_driver.h"
#include "tests/support/temp_dir.h"

#ifndef _WIN32
namespace {

using namespace std::chrono_literals;

// Waits, ten seconds at most, for a signal raised on this thread to reach the run's progress
// through the guard's watcher thread.
bool stop_arrives(const RunProgress& p) {
    for (int i = 0; i < 10000 && !p.stop_requested(); ++i) std::this_thread::sleep_for(1ms);
    return p.stop_requested();
}

class SignalStopDeathTest : public ::testing::TestWithParam<int> {};

TEST_P(SignalStopDeathTest, FirstSignalOnlyStopsTheRunAndFinishThenEndsTheProcessByIt) {
    const int sig = GetParam();
    EXPECT_EXIT(
        {
            RunProgress progress;
            SignalStop signals(&progress);
            std::raise(sig);
            if (!stop_arrives(progress)) std::_Exit(3);
            signals.finish();
            std::_Exit(4);
        },
        ::testing::KilledBySignal(sig), "");
}

TEST_P(SignalStopDeathTest, AfterTheRunTheSignalHasItsOwnEffectAgain) {
    const int sig = GetParam();
    EXPECT_EXIT(
        {
            RunProgress progress;
            { SignalStop signals(&progress); }
            std::raise(sig);
            std::_Exit(progress.stop_requested() ? 3 : 4);
        },
        ::testing::KilledBySignal(sig), "");
}

INSTANTIATE_TEST_SUITE_P(EachSignal, SignalStopDeathTest,
                         ::testing::Values(SIGINT, SIGTERM, SIGHUP, SIGPIPE),
                         [](const ::testing::TestParamInfo<int>& i) {
                             return std::string(sigabbrev_np(i.param));
                         });

// nohup's SIGHUP: were it caught, it would be the second signal and end the process by itself.
TEST(SignalStopsDeathTest, AnIgnoredSignalStaysIgnored) {
    EXPECT_EXIT(
        {
            std::signal(SIGHUP, SIG_IGN);
            RunProgress progress;
            SignalStop signals(&progress);
            std::raise(SIGINT);
            std::raise(SIGHUP);
            if (!stop_arrives(progress)) std::_Exit(3);
            signals.finish();
            std::_Exit(4);
        },
        ::testing::KilledBySignal(SIGINT), "");
}

// The second signal comes while the run winds down from the first: a result being written, one
// finished and waiting for the commit, and one committed before. Only the committed one stays.
TEST(SignalStopsDeathTest, SecondSignalRemovesEveryTemporaryFileAndEndsTheProcessAtOnce) {
    TempDir dir;
    const std::vector<char> bytes(5000, 'r');
    EXPECT_EXIT(
        {
            RunProgress progress;
            SignalStop signals(&progress);
            CommitBatch batch;
            DurableFile committed;
            DurableFile finished;
            DurableFile writing;
            (void)committed.create(dir.file("committed.bmp"));
            committed.write(bytes.data(), bytes.size());
            (void)committed.commit();
            (void)finished.create(dir.file("finished.bmp"));
            finished.write(bytes.data(), bytes.size());
            (void)batch.add(std::move(finished));
            (void)writing.create(dir.file("writing.bmp"));
            writing.write(bytes.data(), bytes.size());
            if (files_in(dir.path()).size() != 3) std::_Exit(3);
            std::raise(SIGINT);
            std::raise(SIGTERM);
            for (;;) std::this_thread::sleep_for(1s);
        },
        ::testing::KilledBySignal(SIGTERM), "");
    EXPECT_EQ(files_in(dir.path()), std::vector<std::string>{"committed.bmp"});
}

// A closed terminal sends SIGHUP twice and a closed pipe SIGPIPE on every write: one event each,
// which must not drop the finished result as a second Ctrl-C would.
TEST(SignalStopsDeathTest, RepeatedHangupsAndBrokenPipesKeepTheFinishedResults) {
    for (const int sig : {SIGHUP, SIGPIPE}) {
        TempDir dir;
        EXPECT_EXIT(
            {
                RunProgress progress;
                SignalStop signals(&progress);
                CommitBatch batch;
                DurableFile finished;
                (void)finished.create(dir.file("finished.bmp"));
                finished.write("r", 1);
                (void)batch.add(std::move(finished));
                std::raise(sig);
                std::raise(sig);
                std::raise(sig);
                if (!stop_arrives(progress)) std::_Exit(3);
                std::this_thread::sleep_for(50ms);  // time for the watcher to read them all
                for (const Status& committed : batch.commit())
                    if (!committed.ok()) std::_Exit(5);
                signals.finish();
                std::_Exit(4);
            },
            ::testing::KilledBySignal(sig), "");
        EXPECT_EQ(files_in(dir.path()), std::vector<std::string>{"finished.bmp"}) << sig;
    }
}

}  // namespace
#endif
