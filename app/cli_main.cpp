// enlarge3 on the command line: the same run as the window's GO button, for scripts.

#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "app/driver_arguments.h"
#include "app/resize_run.h"
#include "base/file_io.h"
#include "base/isa.h"
#include "base/stop_signals.h"
#include "image/planes.h"

namespace {

const char kUsageLines[] =
    "Usage: enlarge3 [OPTION]... PICTURE WIDTH HEIGHT\n"
    "  or:  enlarge3 --help | --version\n";

const char kHelpBody[] =
    "\n"
    "Enlarges a picture by three methods and writes one result per method beside the picture\n"
    "(or, with --output-dir, in a folder of your choice):\n"
    "  NAME_lanczos3.EXT  Lanczos-3 filter: sharp, the all-round choice\n"
    "  NAME_hybrid.EXT    Lanczos-3 with linear interpolation along edges: less ringing\n"
    "  NAME_dct.EXT       DCT-domain zero padding: smoothest gradients; enlargement only,\n"
    "                     each side at least the picture's, as large as memory allows\n"
    "The picture may be a BMP (every common kind), a PNG or a JPEG; its first bytes tell\n"
    "which, not its name. NAME is the picture's path less its last four characters for a\n"
    "name ending in .bmp, and less its extension otherwise (holiday.jpeg gives\n"
    "holiday_lanczos3.png). EXT is the result's format. Existing results of those names are\n"
    "replaced. A photo stored turned (its EXIF orientation) is read upright, sizes included;\n"
    "PNG results keep the picture's colour profile (or its sRGB, gamma and chromaticities).\n"
    "\n"
    "Sizes: WIDTH and HEIGHT are each a number of pixels (640; 0 gives an empty BMP), a factor\n"
    "of the picture's side (2x, 1.5x), a percentage of it (200%), or auto for one of the two,\n"
    "which keeps the picture's proportions. Factors, percentages and auto are rounded to the\n"
    "nearest pixel, halves up.\n"
    "\n"
    "Options:\n"
    "  --method NAME  run only this method: lanczos3, hybrid or dct (repeatable;\n"
    "                 without it all three run)\n"
    "  --format FMT   write the results as bmp (24-bit) or png (RGB, or RGBA when the\n"
    "                 picture is partly transparent); without it a BMP picture gives BMP\n"
    "                 results and any other picture PNG results. A BMP result cannot keep\n"
    "                 transparency or a colour profile: it holds the colours, and a line\n"
    "                 on standard error says so\n"
    "  -o, --output-dir DIR  write the results into the folder DIR, made (with its parents)\n"
    "                 if missing, under the names they would have beside the picture\n"
    "  --max-pixels N  read pictures of up to N pixels (0: any size a 24-bit BMP can\n"
    "                 hold); the default is 250000000, since larger pictures are most\n"
    "                 likely made to take the machine's memory (ENLARGE3_MAX_PIXELS=N\n"
    "                 sets it for both programs)\n"
    "  --progress     show how far the run is on standard error: a bar rewritten in place\n"
    "                 on a terminal, a line per tenth of the run otherwise\n"
    "  -h, --help     show this help and exit\n"
    "  --version      show the program's name and version and exit\n"
    "\n"
    "Examples:\n"
    "  enlarge3 photo.png 1920 1080\n"
    "  enlarge3 pic.bmp 2x 200%\n"
    "  enlarge3 -o out pic.bmp 50 auto\n"
    "\n"
    "Exit status: 0 when every result was written; 1 when the picture could not be read, the\n"
    "size did not fit it, a method refused the size or a result could not be written (each\n"
    "reason on standard error); 2 for wrong arguments. Interrupted (Ctrl-C, SIGTERM, SIGHUP),\n"
    "it stops as the window's stop button does: the results finished before are kept, no\n"
    "temporary file is left, and it ends by that signal. A second Ctrl-C or SIGTERM ends\n"
    "it at once, dropping the finished results it had not yet put in place.\n";

// The reason on top and the usage below it, short enough that the reason stays in view.
int usage_error(const std::string& why) {
    print_text(stderr, "enlarge3: " + why + "\n" + kUsageLines +
                           "Try 'enlarge3 --help' for more information.\n");
    return 2;
}

bool stderr_is_terminal() {
#ifdef _WIN32
    return _isatty(_fileno(stderr)) != 0;
#else
    return isatty(fileno(stderr)) != 0;
#endif
}

// The --progress display. show() is the run's observer, called on whichever thread finished a
// unit of work; a thread that finds another one printing leaves the printing to it.
class ProgressLine {
   public:
    explicit ProgressLine(bool terminal) : terminal_(terminal) {}

    void show(const RunProgress& p) {
        std::unique_lock<std::mutex> lock(mutex_, std::try_to_lock);
        if (lock.owns_lock()) print(p.fraction(), p.method());
    }

    // After the run: the bar at its final state, ended by a newline.
    void finish(const RunProgress& p) {
        std::lock_guard<std::mutex> lock(mutex_);
        print(p.fraction(), p.method());
        if (terminal_ && shown_ >= 0) std::fputc('\n', stderr);
    }

   private:
    void print(double fraction, int method) {
        const int percent = static_cast<int>(fraction * 100.0);
        // On a terminal every percent rewrites the line; elsewhere each tenth gets a line.
        const int step = terminal_ ? percent : percent / 10 * 10;
        if (step <= shown_) return;
        shown_ = step;
        const char* name = method_name(method);
        if (!terminal_) {
            std::fprintf(stderr, "enlarge3: %3d%% %s\n", step, name ? name : "");
            return;
        }
        char bar[41];
        const int filled = percent * 40 / 100;
        for (int i = 0; i < 40; ++i) bar[i] = i < filled ? '#' : '.';
        bar[40] = '\0';
        std::fprintf(stderr, "\r[%s] %3d%% %-8s", bar, percent, name ? name : "");
        std::fflush(stderr);
    }

    const bool terminal_;
    std::mutex mutex_;
    int shown_ = -1;
};

// The run the arguments ask for, with the --progress display when asked. Ctrl-C and the other
// signals that end a process stop the run instead, which then ends the process by that signal
// (base/stop_signals.h).
RunReport run(const DriverArguments& args) {
    RunProgress progress;
    ProgressLine line(stderr_is_terminal());
    if (args.progress) progress.observer = [&line](const RunProgress& p) { line.show(p); };
    SignalStop signals(&progress);
    RunReport report = resize_run(args.picture, args.size, args.output_folder, args.methods,
                                  &progress, args.format, args.max_pixels);
    std::fflush(stdout);
    if (args.progress && report.input.ok()) line.finish(progress);
    signals.finish();
    return report;
}

// The program on every platform; argv holds UTF-8.
int driver_main(int argc, char** argv) {
    const DriverArguments args = parse_arguments(argc, argv);
    switch (args.action) {
        case DriverArguments::Action::help:
            print_text(stdout, std::string(kUsageLines) + kHelpBody);
            return 0;
        case DriverArguments::Action::version:
            print_text(stdout, "enlarge3 " ENLARGE3_VERSION "\n");
            return 0;
        case DriverArguments::Action::wrong:
            return usage_error(args.wrong);
        case DriverArguments::Action::run:
            break;
    }
    // Settings of the environment that are wrong are refused as wrong arguments are; the
    // size limit's only when --max-pixels does not replace it.
    Status setting = lane_isa_setting();
    std::uint64_t max_pixels = 0;
    bool max_pixels_set = false;
    if (setting.ok() && !args.max_pixels)
        setting = max_pixels_setting(&max_pixels, &max_pixels_set);
    if (!setting.ok()) {
        print_text(stderr, "enlarge3: " + setting.message + "\n");
        return 2;
    }
    const RunReport report = run(args);
    std::fflush(stdout);
    if (!report.notice.empty()) print_text(stderr, report.notice + "\n");
    if (report.ok()) return 0;
    print_text(stderr, report.failure_text() + "\n");
    return 1;
}

}  // namespace

#ifdef _WIN32
// A narrow main would get its arguments in the ANSI code page, which spells few of the names a
// file may have (a Japanese name on a Western system arrives as question marks). The wide ones
// become UTF-8 here, once, the form every path takes inside.
extern "C" int wmain(int argc, wchar_t** wide_argv) {
    // Windows' C library buffers standard error when it goes to a file; unbuffered, as the C
    // standard has it start, its lines keep their place among standard output's in a shared
    // file, and none is lost if the process ends abruptly.
    std::setvbuf(stderr, nullptr, _IONBF, 0);
    std::vector<std::string> args;
    for (int i = 0; i < argc; ++i) args.push_back(wide_to_utf8(wide_argv[i]));
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(&a[0]);
    argv.push_back(nullptr);
    return driver_main(argc, argv.data());
}
#else
int main(int argc, char** argv) {
    return driver_main(argc, argv);
}
#endif
