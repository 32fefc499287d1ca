#pragma once
// The main window's state and behaviour, free of any window system. The Win32 and the Qt
// window both keep one WindowModel, turn each event of theirs into one of the functions
// below and carry out the WindowEffects it returns; they hold no state of their own beyond
// their control handles, so every rule of the window is tested here without a display.
//
// Texts and paths are UTF-8. Positions are client pixels, origin top left.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/compare_view.h"
#include "app/resize_run.h"

inline constexpr char kWindowClassName[] = "CWindow";
// The original title, kept as it stands; its "Ver1.00" is the project version (major, a point,
// the minor in two digits), which a test holds it to.
inline constexpr char kWindowTitle[] = "ころぽんの画像拡大!３種類から選んでね Ver1.00";
inline constexpr int kWindowWidth = 600;  // outer size at creation
inline constexpr int kWindowHeight = 480;

// Control ids as commands report them.
inline constexpr int kGoButtonId = 0;
inline constexpr int kWidthBoxId = 3;
inline constexpr int kHeightBoxId = 4;
// Sent by a size box whenever its text changes (the value of Win32's EN_UPDATE).
inline constexpr unsigned kBoxTextChanged = 0x0400;

struct ControlPlace {
    int id;
    int x, y, width, height;
    const char* text;  // initial text
};
inline constexpr ControlPlace kGoButton = {kGoButtonId, 8, 8, 96, 32, "　ＧＯ　"};
inline constexpr ControlPlace kWidthBox = {kWidthBoxId, 204, 8, 38, 22, "0"};
inline constexpr ControlPlace kHeightBox = {kHeightBoxId, 338, 8, 38, 22, "0"};

// Labels are painted, not controls; x, y is the top left of the text.
struct LabelPlace {
    int x, y;
    const char* text;
};
inline constexpr LabelPlace kWidthLabel = {120, 10, "水平サイズ"};
inline constexpr LabelPlace kHeightLabel = {252, 10, "垂直サイズ"};

// Shown while a run is going, right of the size boxes in the control row.
inline constexpr int kStopButtonId = 5;
inline constexpr ControlPlace kStopButton = {kStopButtonId, 516, 8, 64, 24, "中止"};
// From the first run on: a bar of kProgressSteps steps and a short text under it, between the
// vertical size box and the stop button.
inline constexpr Rect kProgressBar = {388, 10, 120, 14};
inline constexpr Rect kProgressText = {388, 27, 124, 18};
inline constexpr int kProgressSteps = 1000;
inline constexpr char kDoneText[] = "完了";
inline constexpr char kFailedText[] = "失敗";
inline constexpr char kStoppedText[] = "中止";
inline constexpr char kStoppingText[] = "中止中…";

// The results' format: two radio buttons under the size boxes, above the preview, with a
// painted label left of them. A drop sets them to the picture's default (BMP for a BMP
// picture, PNG otherwise); the user may then choose.
inline constexpr int kBmpFormatId = 7;
inline constexpr int kPngFormatId = 8;
inline constexpr ControlPlace kBmpFormat = {kBmpFormatId, 204, 31, 60, 16, "BMP"};
inline constexpr ControlPlace kPngFormat = {kPngFormatId, 268, 31, 60, 16, "PNG"};
inline constexpr LabelPlace kFormatLabel = {120, 32, "保存形式"};

// The methods as the window names them, in run order.
inline constexpr const char* kMethodTitles[kMethodCount] = {"Lanczos3", "Hybrid", "DCT"};

inline constexpr int kPreviewX = 4;
inline constexpr int kPreviewY = 48;
// The client background: the platform's light grey brush.
inline constexpr std::uint32_t kBackgroundRgb = 0xC0C0C0;

// Reads a dropped file (read_whole_file by default); false when it cannot be opened or read
// (missing, locked, a directory, no memory for it). Nothing is held when it returns false.
using ReadWholeFileFn = std::function<bool(const std::string& path, FileBytes* out)>;

// What GO asks the front-end to run: resize_run(path, out_width, out_height) with the results
// in format, on a thread of its own, with a RunProgress the front-end keeps.
struct RunRequest {
    std::string path;
    int out_width = 0;
    int out_height = 0;
    FormatChoice format = FormatChoice::by_picture;
};

struct WindowModel {
    std::string dropped_path;   // first file of the latest drop, accepted or not
    std::string accepted_path;  // file of the last accepted drop: the one GO runs on

    // The held picture: the last accepted file whole when it is a plain 24-bit BMP, else the
    // picture decoded and laid out as one (window_picture), with its information header and
    // pixel rows. Released by a refused drop and by destroy.
    bool picture_held = false;
    BmpPicture held;

    int width = 0;  // W and H of the last accepted picture; a refused drop keeps them
    int height = 0;

    int out_width = 0;  // the boxes' numbers
    int out_height = 0;
    std::string width_text = "0";  // the boxes' texts
    std::string height_text = "0";

    bool go_enabled = false;
    // The format buttons' choice; GO runs with it.
    ResultFormat result_format = ResultFormat::bmp;
    // Why the latest drop was not accepted, one line; empty after an accepted drop. A refusal
    // is silent on screen (the preview just goes), but for a picture too large for the size or
    // memory limit, whose line the drop's effects show in a message box; front-ends may log
    // this line.
    std::string refusal;

    // From GO until window_run_finished: the run works on another thread.
    bool running = false;
    RunRequest run_request;       // what it runs
    bool stop_requested = false;  // during the run: the stop was passed on
    // The bar and its text, shown from the first run on; the bar never moves back in a run.
    bool progress_shown = false;
    int progress_steps = 0;  // of kProgressSteps
    std::string progress_text;
};

// Runs a request, reporting to and stopping by progress: resize_run by default; tests hand
// the front-ends their own.
using RunFn = std::function<RunReport(const RunRequest& request, RunProgress* progress)>;
RunReport run_request(const RunRequest& request, RunProgress* progress);

// What a front-end does after an event, in this order: write width_text and height_text into
// the boxes; set GO's enabled state from go_enabled and check the format button of
// result_format (always); when update_progress, show or
// hide the bar, its text and the stop button (shown while running) and set the bar to
// progress_steps and the text to progress_text; invalidate the client area without erasing
// it and repaint at once; when stop, ask the running run to stop (request_stop on its
// RunProgress); show message in a message box; when run, start the run of request on a
// worker thread (while it runs, pass its progress to window_progress now and then, at least
// every 50 ms, and its report to window_run_finished on this thread when it ends); when
// compare, open the compare window with compare_contents, or give it these new contents.
struct WindowEffects {
    bool set_box_texts = false;
    bool update_progress = false;
    bool repaint = false;
    bool stop = false;
    bool run = false;
    RunRequest request;
    std::string message;
    bool compare = false;
    CompareContents compare_contents;
};

// The window was created: both boxes "0", GO disabled, nothing held.
WindowEffects window_create(WindowModel* m);

// Files were dropped; only the first is looked at. Its path becomes the dropped path; read
// gives its bytes. A picture of any kind the tool reads (window_picture, within this
// machine's memory) becomes the held picture, sets W and H, sets the format to the picture's
// default and enables GO. A file that cannot be read changes nothing else. Any other file is
// refused: the held picture is released, GO, the format and the accepted path stay as they
// were, and a picture refused as too large has its line shown as the message. The boxes then
// show W and H. While a run is going every drop is refused before anything is read, and
// nothing changes but refusal.
WindowEffects window_drop(WindowModel* m, const std::vector<std::string>& paths,
                          const ReadWholeFileFn& read);

// A command from a control. GO (while enabled and no run going) disables itself and asks for
// a run of the accepted picture at the boxes' numbers in the chosen format; the stop button is
// window_stop; a size box's kBoxTextChanged stores text as its number; a format button
// chooses its format. Anything else does nothing.
WindowEffects window_command(WindowModel* m, int control_id, unsigned notification,
                             const std::string& text);

// The stop button or Esc anywhere in the main window: a going run is asked to stop (once);
// with no run going nothing happens.
WindowEffects window_stop(WindowModel* m);

// The run's progress (RunProgress::method and fraction): the bar moves on, never back, and
// the text names the working method and the percentage of the whole run.
WindowEffects window_progress(WindowModel* m, int method, double fraction);

// The run GO asked for returned. A finished run leaves GO disabled until the next accepted
// drop and says 完了 or 失敗; a stopped run says 中止 and enables GO again for the same
// picture, since it did not finish. Failures come back as the message to show (a stop is
// none). When any result was written, the compare window gets the results and the picture.
WindowEffects window_run_finished(WindowModel* m, const RunReport& report);

// The main window is being closed: a going run is asked to stop, and the front-end waits for
// its thread to end before it destroys the window (results are written whole or not at all,
// so none is left half-written).
WindowEffects window_close(WindowModel* m);

// Draw operations in order: a fill of the whole client area, the three labels (the two
// sizes', then the format's), the progress text (once a run started) and the held picture at
// kPreviewX, kPreviewY at its own width x height, never scaled.
enum class PaintKind { fill, text, picture };
struct PaintOp {
    PaintKind kind = PaintKind::fill;
    int x = 0, y = 0;
    int width = 0, height = 0;   // picture only
    std::uint32_t rgb = 0;       // fill only
    const char* text = nullptr;  // text only
    // picture only: the held information header (at least 40 bytes) and the first byte of the
    // bottom-up BGR rows, padded to 4 bytes each, that the header describes.
    const unsigned char* info_header = nullptr;
    const unsigned char* pixels = nullptr;
};
std::vector<PaintOp> window_paint(const WindowModel& m);

// The window is being destroyed: the held picture is released.
void window_destroy(WindowModel* m);

// A size box's text as a number: leading blanks, an optional sign and the digits up to the
// first other character, as atoi reads them; text without leading digits gives 0. A number
// beyond int's range gives INT_MAX or INT_MIN instead of undefined behaviour.
int box_value(const std::string& text);
