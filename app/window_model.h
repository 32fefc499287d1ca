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
#include "app/window_text.h"

inline constexpr char kWindowClassName[] = "CWindow";
inline constexpr int kWindowWidth = 600;  // outer size at creation, at 96 DPI
inline constexpr int kWindowHeight = 480;

// Control ids as commands report them.
inline constexpr int kGoButtonId = 0;
inline constexpr int kWidthBoxId = 3;
inline constexpr int kHeightBoxId = 4;
// Sent by a size box whenever its text changes (the value of Win32's EN_UPDATE).
inline constexpr unsigned kBoxTextChanged = 0x0400;

// Places are client pixels at 96 DPI; window_layout scales them to the window's DPI.
struct ControlPlace {
    int id;
    int x, y, width, height;
};
inline constexpr ControlPlace kGoButton = {kGoButtonId, 8, 8, 96, 32};
inline constexpr ControlPlace kWidthBox = {kWidthBoxId, 204, 8, 38, 22};
inline constexpr ControlPlace kHeightBox = {kHeightBoxId, 338, 8, 38, 22};

// The labels, left of what they name; x, y is the top left of the text. Both front-ends make
// them label controls, so that assistive technology reads each box by its label.
struct LabelPlace {
    int x, y, width, height;
    UiText text;
};
inline constexpr LabelPlace kWidthLabel = {120, 10, 80, 18, UiText::width_label};
inline constexpr LabelPlace kHeightLabel = {252, 10, 84, 18, UiText::height_label};
inline constexpr LabelPlace kFormatLabel = {120, 32, 80, 16, UiText::format_label};

// Shown while a run is going, right of the size boxes in the control row.
inline constexpr int kStopButtonId = 5;
inline constexpr ControlPlace kStopButton = {kStopButtonId, 516, 8, 64, 24};
// From the first run on: a bar of kProgressSteps steps and a short text under it, between the
// vertical size box and the stop button.
inline constexpr int kProgressBarId = 6;
inline constexpr Rect kProgressBar = {388, 10, 120, 14};
inline constexpr Rect kProgressText = {388, 27, 124, 18};
inline constexpr int kProgressSteps = 1000;

// The results' format: two radio buttons under the size boxes, above the preview, with a
// label left of them. A drop sets them to the picture's default (BMP for a BMP picture, PNG
// otherwise); the user may then choose.
inline constexpr int kBmpFormatId = 7;
inline constexpr int kPngFormatId = 8;
inline constexpr ControlPlace kBmpFormat = {kBmpFormatId, 204, 31, 60, 16};
inline constexpr ControlPlace kPngFormat = {kPngFormatId, 268, 31, 60, 16};

// The methods as the window names them, in run order.
inline constexpr const char* kMethodTitles[kMethodCount] = {"Lanczos3", "Hybrid", "DCT"};

// The preview's top left. The picture is shown there at its own size when it fits the client
// area less kPreviewMargin at the right and a line of kPictureTextHeight with the picture's
// size and scale at the bottom, and scaled down to fit otherwise.
inline constexpr int kPreviewX = 4;
inline constexpr int kPreviewY = 48;
inline constexpr int kPreviewMargin = 4;
inline constexpr int kPictureTextHeight = 20;
// The client background: the platform's light grey brush.
inline constexpr std::uint32_t kBackgroundRgb = 0xC0C0C0;

// Everything above placed in a client area of client_width x client_height at dpi dots per
// inch (scale_to_dpi of each number), the preview and its text line included.
struct WindowLayout {
    Rect go, width_box, height_box, bmp, png, stop, bar, progress_text;
    Rect width_label, height_label, format_label;
    Rect preview;       // the area the picture is fitted into; empty in a tiny window
    Rect picture_text;  // the line under it
};
WindowLayout window_layout(int dpi, int client_width, int client_height);

// The size a picture of width x height is shown at in an area of area_width x area_height:
// its own when it fits, else the largest of its proportions that fits, each side rounded to
// the nearest and at least 1; 0 x 0 in an empty area.
struct PictureSize {
    int width = 0, height = 0;
};
PictureSize preview_size(int width, int height, int area_width, int area_height);

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

    // The language's texts, as window_create took them.
    WindowTexts texts;
    // The client area's size in client pixels at dpi dots per inch, and the device pixels per
    // client pixel (more than 1 only where the toolkit scales, as Qt on a dense screen).
    int dpi = 96;
    int client_width = kWindowWidth;
    int client_height = kWindowHeight;
    double pixel_ratio = 1.0;
    // The held picture as the preview shows it, in device pixels: shown_width x shown_height,
    // the picture itself when that is its own size, else the copy in `shown` scaled down to
    // it. picture_text says the picture's size and the scale.
    int shown_width = 0;
    int shown_height = 0;
    BmpPicture shown;
    std::string picture_text;
};

// Runs a request, reporting to and stopping by progress: resize_run by default; tests hand
// the front-ends their own.
using RunFn = std::function<RunReport(const RunRequest& request, RunProgress* progress)>;
RunReport run_request(const RunRequest& request, RunProgress* progress);

// What a front-end does after an event, in this order: when relayout, place every control at
// window_layout(dpi, ...) and size its font for dpi; write width_text and height_text into
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
    bool relayout = false;
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

// The window was created, speaking texts: both boxes "0", GO disabled, nothing held.
WindowEffects window_create(WindowModel* m, WindowTexts texts);

// The client area is now client_width x client_height client pixels at dpi (96 unless the
// platform scales per window), with pixel_ratio device pixels to a client pixel: the preview
// fits the held picture anew; a new dpi asks for the controls to be placed anew.
WindowEffects window_resize(WindowModel* m, int client_width, int client_height, int dpi,
                            double pixel_ratio = 1.0);

// The text a control shows when the window is made: GO's and the stop button's in the
// language, the format buttons' their formats, the boxes' their numbers. The name assistive
// technology reads for it: the text, or for a box its label's, for the bar its own.
std::string control_text(const WindowModel& m, int control_id);
std::string accessible_name(const WindowModel& m, int control_id);

// The control that is to have the keyboard focus after an event, given the one that has it
// (-1: none): that one while it can still take keys; else, as GO disables itself when pressed
// and the stop button goes when the run ends, the stop button during a run, GO when enabled,
// the horizontal size box otherwise. So the keys, Esc above all, always reach the window.
int focus_after(const WindowModel& m, int focused_id);

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

// Draw operations in order: a fill of the whole client area, the progress text (once a run
// started), and with a picture held the picture at the preview's top left, at shown_width x
// shown_height device pixels (its own size, never enlarged), and picture_text under it. The
// labels are controls, not drawn.
enum class PaintKind { fill, text, picture };
struct PaintOp {
    PaintKind kind = PaintKind::fill;
    int x = 0, y = 0;            // client pixels
    int width = 0, height = 0;   // picture only: device pixels, as many as it has
    std::uint32_t rgb = 0;       // fill only
    const char* text = nullptr;  // text only
    // picture only: its information header (at least 40 bytes) and the first byte of the
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
