// Stopping the driver part-way as a user or the system does: Ctrl-C, and the signals a closed
// terminal, a logout, `timeout` or a service manager sends. Whatever stops it, the working
// method writes nothing, the result finished before it is committed whole, no temporary file
// is left, and the driver ends by that signal, so that a shell sees it was interrupted (on
// Windows, with the exit code of the console's Ctrl-C). Linux sends each signal during each
// method; under Wine the tests send Ctrl-C, the one console event Wine can send.

#include <gtest/gtest.h>

#include <csignal>
#include <map>
#include <string>
#include <vector>

#include "app/resize_run.h"
#include "tests/support/bmp_builder.h"
#include "tests/support/run_driver.h"
#include "tests/support/temp_dir.h"

namespace {

// On one thread each method takes a good part of a second at this size, long after the first
// progress line that names it.
const std::map<std::string, std::string> kOneThread = {{"ENLARGE3_THREADS", "1"}};
constexpr int kWidth = 2400, kHeight = 1800;

struct Scene {
    TempDir dir;
    std::string picture = dir.file("p.bmp");
    Scene() { write_file(picture, encode_bmp(random_picture(600, 450, 11))); }
    static std::string result_name(int method) {
        return std::string("p_") + method_name(method) + ".bmp";
    }
};

// Method m's result as a run that nobody stopped makes it.
std::vector<std::uint8_t> whole_result(int m) {
    Scene s;
    EXPECT_TRUE(resize_run(s.picture, kWidth, kHeight, 1u << m).ok());
    return read_file(s.dir.file(Scene::result_name(m)));
}

// A run of two methods stopped during `stopped`: the method before it finishes first (for
// Lanczos-3, the first of all, the Hybrid follows and must never start).
struct TwoMethods {
    int finished;  // -1: none
    int stopped;
    std::vector<std::string> args(const Scene& s) const {
        const int first = finished >= 0 ? finished : stopped, second = finished >= 0 ? stopped : 1;
        return {"--progress",        "--method", method_name(first),     "--method",
                method_name(second), s.picture,  std::to_string(kWidth), std::to_string(kHeight)};
    }
};

TwoMethods run_stopped_during(int method) {
    return TwoMethods{method == 0 ? -1 : method - 1, method};
}

bool is_temporary(const std::string& name) {
    return name.size() > 4 && name.compare(name.size() - 4, 4, ".tmp") == 0;
}

// Stops the run during plan.stopped with signals, once that method's first progress line has
// come, and checks what it left: nothing of the stopped method and no temporary file.
Interrupted stop(const Scene& s, const TwoMethods& plan, const std::vector<int>& signals) {
    Interrupted r = interrupt_program(
        ENLARGE3_EXE, plan.args(s), kOneThread, std::string("% ") + method_name(plan.stopped),
        signals, [&] {
            // The finished method waits as a temporary file for the commit at the end; the
            // stopped one has not begun to write.
            const std::vector<std::string> names = files_in(s.dir.path());
            std::size_t temporaries = 0;
            for (const std::string& name : names) {
                temporaries += is_temporary(name);
                EXPECT_EQ(name.find(Scene::result_name(plan.stopped)), std::string::npos)
                    << name << ": the method had finished before the signal";
            }
            EXPECT_EQ(temporaries, plan.finished >= 0 ? 1u : 0u);
        });
    EXPECT_TRUE(r.marker_seen) << r.err;
    for (const std::string& name : files_in(s.dir.path())) {
        EXPECT_FALSE(is_temporary(name)) << name;
        EXPECT_EQ(name.find(Scene::result_name(plan.stopped)), std::string::npos) << name;
    }
    return r;
}

void expect_ended_by(const Interrupted& r, int signal) {
#ifdef _WIN32
    (void)signal;
    EXPECT_EQ(static_cast<unsigned>(r.status), 0xC000013Au) << r.err;  // STATUS_CONTROL_C_EXIT
#else
    EXPECT_EQ(r.signal, signal) << "exit status " << r.status << "\n" << r.err;
#endif
}

struct SignalCase {
    int signal;
    const char* name;
    int method;
};

void PrintTo(const SignalCase& c, std::ostream* os) {
    *os << c.name << " during " << method_name(c.method);
}

class DriverStopped : public ::testing::TestWithParam<SignalCase> {};

TEST_P(DriverStopped, CommitsTheFinishedResultLeavesNoTemporaryFileAndEndsBySignal) {
    const SignalCase c = GetParam();
    const TwoMethods plan = run_stopped_during(c.method);
    Scene s;
    const Interrupted r = stop(s, plan, {c.signal});
    expect_ended_by(r, c.signal);
    std::vector<std::string> expected = {"p.bmp"};
    if (plan.finished >= 0) {
        expected.push_back(Scene::result_name(plan.finished));
        EXPECT_EQ(read_file(s.dir.file(expected.back())), whole_result(plan.finished));
    }
    EXPECT_EQ(files_in(s.dir.path()), expected);
}

std::vector<SignalCase> signal_cases() {
#ifdef _WIN32
    return {{SIGINT, "CtrlC", 2}};
#else
    std::vector<SignalCase> cases;
    for (int m = 0; m < kMethodCount; ++m) {
        cases.push_back({SIGINT, "SIGINT", m});
        cases.push_back({SIGTERM, "SIGTERM", m});
        cases.push_back({SIGHUP, "SIGHUP", m});
    }
    return cases;
#endif
}

INSTANTIATE_TEST_SUITE_P(EachSignalDuringEachMethod, DriverStopped,
                         ::testing::ValuesIn(signal_cases()),
                         [](const ::testing::TestParamInfo<SignalCase>& i) {
                             return std::string(i.param.name) + "_during_" +
                                    method_name(i.param.method);
                         });

// The second signal comes while the first one's stop winds the run down: the process ends at
// once, and the finished result, not yet committed, goes with the temporary files. (Under
// Wine two Ctrl-C may arrive as one, which commits it; either way it is whole or absent.)
TEST(DriverStopped, SecondSignalDuringTheCleanUpEndsItAtOnceWithoutATemporaryFile) {
    const TwoMethods plan = run_stopped_during(2);
    Scene s;
    const Interrupted r = stop(s, plan, {SIGINT, SIGTERM});
#ifdef _WIN32
    expect_ended_by(r, SIGINT);
    const std::string finished = s.dir.file(Scene::result_name(plan.finished));
    if (file_exists(finished)) {
        EXPECT_EQ(read_file(finished), whole_result(plan.finished));
    }
#else
    // Sent together, they may reach their handlers on two threads in either order; the one
    // that comes second ends the driver.
    EXPECT_TRUE(r.signal == SIGINT || r.signal == SIGTERM) << r.signal << "\n" << r.err;
    EXPECT_EQ(files_in(s.dir.path()), std::vector<std::string>{"p.bmp"});
#endif
}

}  // namespace
