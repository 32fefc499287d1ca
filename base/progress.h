#pragma once
// How far a resize run has come, and the request to stop it. Shared by the thread that runs
// the methods, the worker threads they spread their work over, and a front-end that shows the
// progress and may stop the run; every member is atomic, so any thread may report, read or ask
// for a stop at any time without a lock. Reporting only counts: it changes no result.
//
// The run gives each method a part of [0, 1] (begin_method). The method says how many units
// of work it will report (set_units: rows, bands or groups of lines, as suits it) and reports
// each unit as it is done (add_units); the fraction moves on by the unit's share. It never
// goes backwards and never passes the end of the method's part; end_method moves it to that
// end whatever was reported.
//
// A stop is only a request: a method looks at stop_requested() between units of work, stops
// starting new ones, and returns StatusCode::stopped without writing its result.

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "base/status.h"

class RunProgress {
   public:
    RunProgress() = default;
    RunProgress(const RunProgress&) = delete;
    RunProgress& operator=(const RunProgress&) = delete;

    // Any thread: asks the run to stop. Asking again changes nothing.
    void request_stop() { stop_.store(true, std::memory_order_relaxed); }
    bool stop_requested() const { return stop_.load(std::memory_order_relaxed); }

    // The run's thread, before method number method (0 for the first) starts: the method's
    // part of the whole run is [begin, end), 0 <= begin <= end <= 1. Moves the fraction to
    // begin if it is not already past it.
    void begin_method(int method, double begin, double end);
    // The method, on the run's thread before it hands work to other threads: it will report
    // units units in all (0: it reports none, the fraction stays until end_method).
    void set_units(std::uint64_t units);
    // Any thread: units more units of the current method are done; then calls the observer.
    void add_units(std::uint64_t units);
    // The run's thread, after the method returned: the fraction moves to the method's end.
    void end_method();

    // Any thread: the fraction of the whole run done, 0 .. 1, never less than it was.
    double fraction() const;
    // Any thread: the method begun last, -1 before the first.
    int method() const { return method_.load(std::memory_order_relaxed); }

    // Called after every add_units, on the thread that reported, possibly on several threads at
    // once: it must be safe for that and quick. Set before the run starts, never during it.
    std::function<void(const RunProgress&)> observer;

   private:
    // Whole-run fraction in ticks of 2^-32, so that threads add to one counter.
    static constexpr double kTicks = 4294967296.0;
    void advance_to(std::uint64_t ticks);

    std::atomic<bool> stop_{false};
    std::atomic<int> method_{-1};
    std::atomic<std::uint64_t> done_{0};  // ticks
    std::atomic<std::uint64_t> end_{0};   // ticks: the end of the current method's part
    std::atomic<std::uint64_t> span_{0};  // ticks: the length of that part
    std::atomic<double> ticks_per_unit_{0.0};
};

// For the code that takes a progress object which may be absent (nullptr).
inline bool stop_requested(const RunProgress* p) {
    return p != nullptr && p->stop_requested();
}
inline void add_units(RunProgress* p, std::uint64_t units) {
    if (p != nullptr) p->add_units(units);
}
inline void set_units(RunProgress* p, std::uint64_t units) {
    if (p != nullptr) p->set_units(units);
}

// What a method that stopped on request returns: StatusCode::stopped, "NAME: stopped".
inline Status stopped_status(const char* name) {
    return Status::failure(StatusCode::stopped, std::string(name) + ": stopped");
}
