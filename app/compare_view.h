#pragma once
// The compare window's state and behaviour, free of any window system: the results of a run
// side by side, with the picture itself enlarged by pixel repetition as the reference, all at
// one scale and one place. Both front-ends keep one CompareView, turn their events into the
// functions below and draw what compare_layout and compare_draws say; so the pane layout, the
// zoom steps, the pan limits and the flip view are tested here without a display.
//
// Coordinates: client pixels of the compare window, origin top left. The view is kept in
// result pixels (the results' common width x height): center_x, center_y is the result point
// shown at the middle of every pane's picture area, scale the screen pixels per result pixel.
// A pane whose picture has another size (the source picture) maps result point (x, y) to its
// own pixel (x * its width / result width, y * its height / result height).

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/window_picture.h"

// Sizes are client pixels at 96 DPI; compare_layout scales them to the window's DPI.
inline constexpr int kCompareWidth = 1000;  // client size when the window first opens
inline constexpr int kCompareHeight = 700;
inline constexpr int kPaneGap = 4;           // around and between panes
inline constexpr int kPaneLabelHeight = 22;  // the label strip above each pane's picture
inline constexpr int kOpenButtonWidth = 48;  // at the right end of the label strip
inline constexpr std::uint32_t kCompareBackgroundRgb = 0x606060;
// The scales past the fit, screen pixels per result pixel.
inline constexpr double kZoomSteps[] = {1, 2, 3, 4, 6, 8};

struct Rect {
    int x = 0, y = 0, width = 0, height = 0;
    bool contains(int px, int py) const {
        return px >= x && py >= y && px < x + width && py < y + height;
    }
};

// A length of value pixels at 96 DPI as many pixels at dpi: value * dpi / 96 rounded to the
// nearest, halves away from zero, as Windows' MulDiv rounds.
inline int scale_to_dpi(int value, int dpi) {
    const long long p = static_cast<long long>(value) * dpi;
    return static_cast<int>(p >= 0 ? (p + 48) / 96 : -((-p + 48) / 96));
}

// One pane: what it shows and what its label says.
struct ComparePane {
    int method = -1;    // the method's index, or -1 for the picture itself
    std::string label;  // "元画像 - cat.bmp", "Lanczos3 - cat_lanczos3.bmp", ...
    std::string path;   // the file, for the picture viewer
};

// What a run's end hands the compare window, its texts in the main window's language.
struct CompareContents {
    std::string title;               // "比較 - NAME"
    std::string open_text;           // the open buttons' "開く"
    std::vector<ComparePane> panes;  // the source picture first, then the results in run order
    int result_width = 0;            // the results' common size
    int result_height = 0;
    BmpPicture source;  // the picture the run enlarged, as the main window holds it
};

struct CompareView {
    CompareContents contents;
    int client_width = kCompareWidth;
    int client_height = kCompareHeight;
    int dpi = 96;        // the window's dots per inch, which the gaps and strips scale by
    bool fit = true;     // the whole result fills the pane; scale follows the window's size
    double scale = 1.0;  // when not fit: one of kZoomSteps
    double center_x = 0.0, center_y = 0.0;
    int solo = -1;  // the pane shown alone over the whole window, or -1: side by side
};

// A new run's results: the view returns to the fit, side by side.
void compare_open(CompareView* v, CompareContents contents, int client_width, int client_height);
void compare_resize(CompareView* v, int client_width, int client_height);
// The window moved to a screen of another density: its size comes next, by compare_resize.
void compare_set_dpi(CompareView* v, int dpi);

// Screen pixels per result pixel as drawn now.
double compare_scale(const CompareView& v);

// steps > 0 zooms in, < 0 out, one step of fit, 1:1, ..., 8:1 each. The result point under
// x, y stays there when x, y lies on a pane's picture; otherwise the middle stays.
void compare_zoom(CompareView* v, int steps, int x, int y);
// Moves the view by dx, dy screen pixels (a drag: the picture follows the mouse).
void compare_drag(CompareView* v, int dx, int dy);

enum class CompareKey { zoom_in, zoom_out, left, right, up, down };
// The keys: + and - zoom about the middle; the arrows move the view a quarter of a pane.
void compare_key(CompareView* v, CompareKey key);
// Key 0 shows the panes side by side, keys 1 .. 4 the n-th pane alone; a key past the panes
// does nothing. The zoom and the place stay.
void compare_show(CompareView* v, int key);

struct PaneLayout {
    int pane = 0;  // index in contents.panes
    Rect frame;    // label strip and picture
    Rect label;    // the strip with the label text, left of the open button
    Rect open_button;
    Rect picture;
};
// The visible panes, in order: as many columns as give the largest fitted picture.
std::vector<PaneLayout> compare_layout(const CompareView& v);

// Drawing one pane: the pixels src (the pane's own picture, rows counted from the top)
// scaled to dst (which may reach past the pane; clip to clip). Nearest-neighbour scaling,
// so a result pixel shows as a square block.
struct PaneDraw {
    int pane = 0;
    Rect clip;
    Rect src;
    Rect dst;
};
std::vector<PaneDraw> compare_draws(const CompareView& v);

// The pane whose frame holds x, y, or -1.
int compare_pane_at(const CompareView& v, int x, int y);
// The pane whose open button holds x, y, or -1.
int compare_open_button_at(const CompareView& v, int x, int y);
