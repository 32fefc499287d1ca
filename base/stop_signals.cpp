#include "base/stop_signals.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "base/durable_file.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#endif

namespace {

// Whether a guard lives.
std::atomic<bool> g_active{false};

#ifdef _WIN32

// What the console's own handling ends a process with.
constexpr DWORD kControlCExit = 0xC000013A;

// The console handler runs on a thread of its own, so it may lock.
std::mutex g_mutex;
RunProgress* g_progress = nullptr;
int g_events = 0;  // events while the guard lives
// Set by finish once the run has wound down; made once, never closed.
HANDLE g_wound_down = nullptr;

[[noreturn]] void end_now() {
    remove_temporary_files_for_good();
    // Not ExitProcess: nothing else of the process is to run, not even a library's detach.
    TerminateProcess(GetCurrentProcess(), kControlCExit);
    ExitProcess(kControlCExit);
}

BOOL WINAPI on_console_event(DWORD type) {
    switch (type) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
        case CTRL_CLOSE_EVENT:
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            break;
        default:
            return FALSE;
    }
    HANDLE wound_down = nullptr;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        if (!g_active.load()) return FALSE;  // the system's handling: the process ends
        if (++g_events > 1) end_now();
        if (g_progress != nullptr) g_progress->request_stop();
        wound_down = g_wound_down;
    }
    if (type == CTRL_C_EVENT || type == CTRL_BREAK_EVENT) return TRUE;
    // The system ends the process as soon as this returns, and a few seconds after the event
    // whatever it does: finish() ends it once the run has wound down, or this does before then.
    if (WaitForSingleObject(wound_down, SignalStop::kWindDownMilliseconds) != WAIT_OBJECT_0)
        end_now();
    Sleep(INFINITE);  // finish() is ending the process
    return TRUE;
}

#else

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};
constexpr int kStopSignalCount = sizeof kStopSignals / sizeof kStopSignals[0];

static_assert(std::atomic<int>::is_always_lock_free, "the handler stores into an atomic int");

// The handler only records the signal and writes its number into the pipe, both safe in a
// handler; the watcher thread reads the pipe and does the rest, where any call is allowed.
// The pipe is made once and never closed: a handler that began just before a guard finished
// may still write into it, and must not hit a descriptor reused for something else.
std::atomic<int> g_first{0};  // the first stop signal while the guard lives, 0 for none
int g_pipe[2] = {-1, -1};

struct sigaction g_earlier[kStopSignalCount];
bool g_caught[kStopSignalCount];
struct sigaction g_earlier_xfsz;
bool g_ignoring_xfsz = false;

extern "C" void on_stop_signal(int sig) {
    const int saved = errno;
    int none = 0;
    g_first.compare_exchange_strong(none, sig);
    const unsigned char number = static_cast<unsigned char>(sig);
    const ssize_t written = write(g_pipe[1], &number, 1);
    (void)written;  // a full pipe already holds a second signal
    errno = saved;
}

// Ends the process by sig as its default action does: SIGINT, SIGTERM, SIGHUP and SIGPIPE all
// terminate it, which is what a shell reports as 128 + sig.
[[noreturn]] void die_by(int sig) {
    struct sigaction by_default = {};
    by_default.sa_handler = SIG_DFL;
    sigemptyset(&by_default.sa_mask);
    sigaction(sig, &by_default, nullptr);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, sig);
    pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
    raise(sig);
    std::abort();  // not reached: the default action ends the process
}

// Whether a stop signal after the first is the user insisting. A SIGHUP or SIGPIPE is not:
// one event sends them more than once (a closed terminal signals its job from the shell and
// again from the kernel; a closed pipe raises one for every write the winding down makes),
// and taking them for insistence would drop the results the first one kept.
bool insists(int sig) {
    return sig == SIGINT || sig == SIGTERM;
}

// Reads the signals' numbers until finish() writes a 0: the first asks the run to stop, a
// second SIGINT or SIGTERM ends the process at once.
void watch(RunProgress* progress) {
    int seen = 0;
    for (;;) {
        pollfd readable = {g_pipe[0], POLLIN, 0};
        if (poll(&readable, 1, -1) < 0 && errno != EINTR) return;
        unsigned char number = 0;
        while (read(g_pipe[0], &number, 1) == 1) {
            if (number == 0) return;
            if (++seen == 1) {
                if (progress != nullptr) progress->request_stop();
            } else if (insists(number)) {
                remove_temporary_files_for_good();
                die_by(number);
            }
        }
    }
}

bool make_pipe() {
    static const bool made = [] {
        if (pipe(g_pipe) != 0) return false;
        for (int fd : g_pipe) {
            fcntl(fd, F_SETFD, FD_CLOEXEC);
            // Neither end ever blocks: the handler must not, and the watcher polls.
            fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
        }
        return true;
    }();
    return made;
}

#endif

}  // namespace

SignalStop::SignalStop(RunProgress* progress) {
    bool none = false;
    if (!g_active.compare_exchange_strong(none, true)) return;
#ifdef _WIN32
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        if (g_wound_down == nullptr) g_wound_down = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        if (g_wound_down == nullptr) {
            g_active = false;
            return;
        }
        ResetEvent(g_wound_down);
        g_progress = progress;
        g_events = 0;
    }
    SetConsoleCtrlHandler(on_console_event, TRUE);
#else
    if (!make_pipe()) {
        g_active = false;  // the signals keep their effect
        return;
    }
    // Whatever a handler of an earlier guard left after its finish.
    for (unsigned char stale = 0; read(g_pipe[0], &stale, 1) == 1;) {
    }
    g_first = 0;
    watcher_ = std::thread(watch, progress);
    struct sigaction catching = {};
    catching.sa_handler = on_stop_signal;
    // Every call the run makes goes on when a signal comes; none of them needs to know.
    catching.sa_flags = SA_RESTART;
    sigemptyset(&catching.sa_mask);
    for (int sig : kStopSignals) sigaddset(&catching.sa_mask, sig);
    for (int i = 0; i < kStopSignalCount; ++i) {
        sigaction(kStopSignals[i], nullptr, &g_earlier[i]);
        g_caught[i] = g_earlier[i].sa_handler != SIG_IGN;
        if (g_caught[i]) sigaction(kStopSignals[i], &catching, nullptr);
    }
    struct sigaction ignoring = {};
    ignoring.sa_handler = SIG_IGN;
    sigemptyset(&ignoring.sa_mask);
    sigaction(SIGXFSZ, nullptr, &g_earlier_xfsz);
    g_ignoring_xfsz = g_earlier_xfsz.sa_handler == SIG_DFL;
    if (g_ignoring_xfsz) sigaction(SIGXFSZ, &ignoring, nullptr);
#endif
    active_ = true;
}

SignalStop::~SignalStop() {
    finish();
}

void SignalStop::finish() {
    if (!active_) return;
    active_ = false;
    // While a closed pipe's SIGPIPE is still only a stop: the stream of a pipeline interrupted
    // as a whole may be gone, and the process is to end by the signal that came first.
    std::fflush(nullptr);
#ifdef _WIN32
    SetConsoleCtrlHandler(on_console_event, FALSE);
    bool caught = false;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        caught = g_events > 0;
        g_progress = nullptr;
        g_active = false;
        SetEvent(g_wound_down);
    }
    if (caught) ExitProcess(kControlCExit);
#else
    // From here a signal has its earlier effect again; one caught before is in the pipe ahead
    // of the 0, so the watcher still sees it.
    for (int i = 0; i < kStopSignalCount; ++i)
        if (g_caught[i]) sigaction(kStopSignals[i], &g_earlier[i], nullptr);
    if (g_ignoring_xfsz) sigaction(SIGXFSZ, &g_earlier_xfsz, nullptr);
    const unsigned char quit = 0;
    while (write(g_pipe[1], &quit, 1) != 1 && (errno == EAGAIN || errno == EINTR))
        std::this_thread::yield();  // a full pipe: the watcher is emptying it
    watcher_.join();
    const int sig = g_first.exchange(0);
    g_active = false;
    if (sig != 0) die_by(sig);
#endif
}
