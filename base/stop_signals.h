#pragma once
// The signals that end a process, turned into a stop of its run for as long as the run lasts.
//
// While a SignalStop lives, the first of SIGINT, SIGTERM, SIGHUP and SIGPIPE (on Windows: the
// console's Ctrl-C, Ctrl-Break or close, a logoff or a shutdown) asks the run to stop through
// its RunProgress, as a window's stop button does: the working method writes nothing and the
// run commits what had finished. finish() then ends the process by that signal, as if it had
// never been caught, so that a shell sees the interruption (status 128 + the signal's number;
// on Windows the exit code STATUS_CONTROL_C_EXIT, 0xC000013A, as the console's own handling
// gives). A second SIGINT or SIGTERM (on Windows any second event) while the run winds down
// ends the process at once, by that signal, after removing every temporary file of the process
// (base/durable_file.h), finished results not yet committed included; results already
// committed stay. A closed console gives a process only a few seconds, so the run gets
// kWindDownMilliseconds to wind down before the same.
//
// A signal the process ignores when the guard starts (nohup's SIGHUP; on Windows a Ctrl-C
// ignored by inheritance) stays ignored. While it lives SIGXFSZ is ignored too, where it had
// its default effect: a write past the file-size limit (ulimit -f) then fails as any write
// does, and the run reports it, instead of ending the process part-way. Before the guard starts
// and after it finishes, every signal has the effect it had.
//
// Only one lives at a time in a process: one made while another lives does nothing.

#include <thread>

#include "base/progress.h"

class SignalStop {
   public:
    // Starts catching the signals; progress (may be null) is asked to stop by the first one.
    explicit SignalStop(RunProgress* progress);
    // As finish().
    ~SignalStop();
    SignalStop(const SignalStop&) = delete;
    SignalStop& operator=(const SignalStop&) = delete;

    // Once the run has returned: flushes the standard streams, gives every signal back its
    // earlier effect, and if one of them came meanwhile, ends the process by it; otherwise
    // returns. Does nothing the second time.
    void finish();

    // How long a run may take to wind down after the console was closed, before it is ended
    // as by a second signal (Windows gives the process about five seconds in all).
    static constexpr unsigned kWindDownMilliseconds = 3000;

   private:
    bool active_ = false;
    std::thread watcher_;  // POSIX: acts on what the handler saw
};
