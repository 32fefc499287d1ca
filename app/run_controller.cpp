#include "app/run_controller.h"

#include "base/stop_signals.h"

RunController::~RunController() {
    abandon();
}

void RunController::start(const RunRequest& request, std::function<void()> ended) {
    progress_ = std::make_unique<RunProgress>();
    report_ = RunReport{};
    thread_ = std::thread(
        [this, run = run_, request, progress = progress_.get(), ended = std::move(ended)] {
            // A signal that would end the window part-way stops the run as 中止 does, and
            // ends the window once the run has wound down.
            SignalStop signals(progress);
            report_ = run(request, progress);
            signals.finish();
            if (ended) ended();
        });
}

WindowEffects RunController::poll(WindowModel* m) const {
    if (!progress_) return WindowEffects{};
    return window_progress(m, progress_->method(), progress_->fraction());
}

void RunController::request_stop() {
    if (progress_) progress_->request_stop();
}

WindowEffects RunController::finish(WindowModel* m, std::string* notice) {
    notice->clear();
    if (!thread_.joinable()) return WindowEffects{};
    thread_.join();
    // The last progress is where the bar of a stopped run stays; window_run_finished's
    // effects show it, so the poll's own are not needed.
    (void)poll(m);
    progress_.reset();
    const RunReport report = std::move(report_);
    report_ = RunReport{};
    *notice = report.notice;
    return window_run_finished(m, report);
}

void RunController::abandon() {
    if (!thread_.joinable()) return;
    progress_->request_stop();
    thread_.join();
    progress_.reset();
    report_ = RunReport{};
}
