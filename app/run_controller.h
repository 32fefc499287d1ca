#pragma once
// The run GO starts, on a thread of its own, as both windows keep it: the thread, the
// RunProgress the window reads and stops it through, and the report the thread leaves for
// the window. Free of any window system; each front-end only wakes its own thread when the
// run has returned (a queued call, a posted message) and reads the progress on a timer of
// its own.
//
// Every call but start's `ended` belongs to the window's thread.

#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "app/window_model.h"

class RunController {
   public:
    RunController() = default;
    // A going run is asked to stop and waited for.
    ~RunController();
    RunController(const RunController&) = delete;
    RunController& operator=(const RunController&) = delete;

    // What start runs: run_request unless set (tests). Takes effect at the next start.
    void set_run_function(RunFn run) { run_ = std::move(run); }

    // With no run going (the model asks for none while one is): runs request on a new thread,
    // reporting to a fresh RunProgress. ended is called on that thread once the run has
    // returned and its report is kept; it must only wake the window's thread, which then
    // calls finish.
    void start(const RunRequest& request, std::function<void()> ended);

    // Whether a run was started and neither finished nor abandoned.
    bool going() const { return thread_.joinable(); }

    // The going run's progress, passed to the model (window_progress); no effects without a
    // run.
    WindowEffects poll(WindowModel* m) const;

    // Asks the going run to stop (WindowEffects::stop); without a run nothing happens.
    void request_stop();

    // After ended: waits for the run's thread, which has returned or is about to, moves the
    // model's progress to where the run got and ends the run in the model
    // (window_run_finished), whose effects come back. The report's notice, a line for the
    // user that is no failure, is put in *notice (emptied otherwise). Without a run going,
    // as when abandon came first, nothing happens.
    WindowEffects finish(WindowModel* m, std::string* notice);

    // The window closes: a going run is asked to stop and waited for, and its report is
    // dropped. The working method stops within a unit of work and its file is whole or
    // absent, so the window may go right after.
    void abandon();

   private:
    RunFn run_ = run_request;
    std::unique_ptr<RunProgress> progress_;
    RunReport report_;  // written by the run's thread before ended, read after the join
    std::thread thread_;
};
