#include "app/compare_view.h"

#include <algorithm>
#include <cmath>

namespace {

// Scales closer than this count as equal: a fit of exactly 2 is not zoomed "in" to 2.
constexpr double kSameScale = 1e-9;

int visible_count(const CompareView& v) {
    const int n = static_cast<int>(v.contents.panes.size());
    return v.solo >= 0 && v.solo < n ? 1 : n;
}

struct Grid {
    int columns = 1, rows = 1;
    int pane_width = 0, pane_height = 0;  // frame size
};

int gap(const CompareView& v) {
    return scale_to_dpi(kPaneGap, v.dpi);
}

int label_height(const CompareView& v) {
    return scale_to_dpi(kPaneLabelHeight, v.dpi);
}

// The picture area's height in a pane whose frame is frame_height high.
int picture_height(const CompareView& v, int frame_height) {
    return std::max(0, frame_height - label_height(v));
}

double fit_of(const CompareView& v, int picture_width, int picture_h) {
    const int W = v.contents.result_width, H = v.contents.result_height;
    if (W <= 0 || H <= 0 || picture_width <= 0 || picture_h <= 0) return 1.0;
    return std::min(static_cast<double>(picture_width) / W, static_cast<double>(picture_h) / H);
}

Grid grid_of(const CompareView& v) {
    const int n = visible_count(v);
    Grid best;
    double best_fit = -1.0;
    for (int c = 1; c <= std::max(1, n); ++c) {
        Grid g;
        g.columns = c;
        g.rows = (std::max(1, n) + c - 1) / c;
        g.pane_width = std::max(0, (v.client_width - (c + 1) * gap(v)) / c);
        g.pane_height = std::max(0, (v.client_height - (g.rows + 1) * gap(v)) / g.rows);
        const double f = fit_of(v, g.pane_width, picture_height(v, g.pane_height));
        // Ties go to more columns: side by side is what the window is for.
        if (f >= best_fit) {
            best_fit = f;
            best = g;
        }
    }
    return best;
}

double fit_scale(const CompareView& v) {
    const Grid g = grid_of(v);
    return fit_of(v, g.pane_width, picture_height(v, g.pane_height));
}

// Keeps the view inside the results: along a side that fits whole the result is centred,
// otherwise no pane shows anything past the result's edge.
void clamp_center(CompareView* v) {
    const Grid g = grid_of(*v);
    const double s = compare_scale(*v);
    auto clamp_axis = [s](double* c, int extent, int size) {
        const double seen = extent / s;
        if (seen >= size) {
            *c = size / 2.0;
        } else {
            *c = std::min(std::max(*c, seen / 2.0), size - seen / 2.0);
        }
    };
    clamp_axis(&v->center_x, g.pane_width, v->contents.result_width);
    clamp_axis(&v->center_y, picture_height(*v, g.pane_height), v->contents.result_height);
}

void set_fit(CompareView* v) {
    v->fit = true;
    v->center_x = v->contents.result_width / 2.0;
    v->center_y = v->contents.result_height / 2.0;
}

// The view's scale after one step in (+1) or out (-1) from the current one.
void step_zoom(CompareView* v, int direction) {
    const double fit = fit_scale(*v);
    const double now = compare_scale(*v);
    if (direction > 0) {
        for (double z : kZoomSteps) {
            if (z > now + kSameScale) {
                v->fit = false;
                v->scale = z;
                return;
            }
        }
        return;  // already at the largest step
    }
    if (v->fit) return;
    double below = 0.0;
    for (double z : kZoomSteps)
        if (z < now - kSameScale && z > fit + kSameScale) below = z;
    if (below > 0.0) {
        v->scale = below;
    } else {
        v->fit = true;
    }
}

int round_to_int(double x) {
    return static_cast<int>(std::floor(x + 0.5));
}

}  // namespace

void compare_open(CompareView* v, CompareContents contents, int client_width, int client_height) {
    v->contents = std::move(contents);
    v->client_width = client_width;
    v->client_height = client_height;
    v->solo = -1;
    v->scale = 1.0;
    set_fit(v);
}

void compare_resize(CompareView* v, int client_width, int client_height) {
    v->client_width = client_width;
    v->client_height = client_height;
    // A window grown past the zoom shows the fit rather than a picture smaller than it.
    if (!v->fit && v->scale <= fit_scale(*v) + kSameScale) v->fit = true;
    if (v->fit) set_fit(v);
    clamp_center(v);
}

void compare_set_dpi(CompareView* v, int dpi) {
    v->dpi = dpi;
}

double compare_scale(const CompareView& v) {
    return v.fit ? fit_scale(v) : v.scale;
}

void compare_zoom(CompareView* v, int steps, int x, int y) {
    if (steps == 0) return;
    // The result point under x, y, or the middle.
    double anchor_dx = 0.0, anchor_dy = 0.0;
    for (const PaneLayout& p : compare_layout(*v)) {
        if (!p.picture.contains(x, y)) continue;
        anchor_dx = x - (p.picture.x + p.picture.width / 2.0);
        anchor_dy = y - (p.picture.y + p.picture.height / 2.0);
    }
    const double before = compare_scale(*v);
    const double ax = v->center_x + anchor_dx / before, ay = v->center_y + anchor_dy / before;
    for (int i = 0; i < std::abs(steps); ++i) step_zoom(v, steps > 0 ? 1 : -1);
    if (v->fit) {
        set_fit(v);
    } else {
        const double after = compare_scale(*v);
        v->center_x = ax - anchor_dx / after;
        v->center_y = ay - anchor_dy / after;
    }
    clamp_center(v);
}

void compare_drag(CompareView* v, int dx, int dy) {
    const double s = compare_scale(*v);
    v->center_x -= dx / s;
    v->center_y -= dy / s;
    clamp_center(v);
}

void compare_key(CompareView* v, CompareKey key) {
    const Grid g = grid_of(*v);
    const int step_x = std::max(1, g.pane_width / 4);
    const int step_y = std::max(1, picture_height(*v, g.pane_height) / 4);
    switch (key) {
        case CompareKey::zoom_in:
            compare_zoom(v, 1, -1, -1);
            break;
        case CompareKey::zoom_out:
            compare_zoom(v, -1, -1, -1);
            break;
        // The arrows move the view, so the picture moves the other way.
        case CompareKey::left:
            compare_drag(v, step_x, 0);
            break;
        case CompareKey::right:
            compare_drag(v, -step_x, 0);
            break;
        case CompareKey::up:
            compare_drag(v, 0, step_y);
            break;
        case CompareKey::down:
            compare_drag(v, 0, -step_y);
            break;
    }
}

void compare_show(CompareView* v, int key) {
    const int n = static_cast<int>(v->contents.panes.size());
    if (key < 0 || key > n) return;
    v->solo = key - 1;
    if (!v->fit && v->scale <= fit_scale(*v) + kSameScale) v->fit = true;
    if (v->fit) set_fit(v);
    clamp_center(v);
}

std::vector<PaneLayout> compare_layout(const CompareView& v) {
    std::vector<PaneLayout> out;
    const int n = static_cast<int>(v.contents.panes.size());
    if (n == 0) return out;
    const Grid g = grid_of(v);
    const int first = v.solo >= 0 && v.solo < n ? v.solo : 0;
    const int count = visible_count(v);
    for (int i = 0; i < count; ++i) {
        PaneLayout p;
        p.pane = first + i;
        const int column = i % g.columns, row = i / g.columns;
        p.frame = {gap(v) + column * (g.pane_width + gap(v)),
                   gap(v) + row * (g.pane_height + gap(v)), g.pane_width, g.pane_height};
        const int strip = std::min(label_height(v), g.pane_height);
        const int button = std::min(scale_to_dpi(kOpenButtonWidth, v.dpi), g.pane_width);
        p.label = {p.frame.x, p.frame.y, g.pane_width - button, strip};
        p.open_button = {p.frame.x + g.pane_width - button, p.frame.y, button, strip};
        p.picture = {p.frame.x, p.frame.y + strip, g.pane_width, picture_height(v, g.pane_height)};
        out.push_back(p);
    }
    return out;
}

std::vector<PaneDraw> compare_draws(const CompareView& v) {
    std::vector<PaneDraw> out;
    const int W = v.contents.result_width, H = v.contents.result_height;
    if (W <= 0 || H <= 0) return out;
    const double s = compare_scale(v);
    for (const PaneLayout& p : compare_layout(v)) {
        const ComparePane& pane = v.contents.panes[static_cast<std::size_t>(p.pane)];
        const int iw = pane.method < 0 ? v.contents.source.width : W;
        const int ih = pane.method < 0 ? v.contents.source.height : H;
        if (iw <= 0 || ih <= 0 || p.picture.width <= 0 || p.picture.height <= 0) continue;
        const double fx = static_cast<double>(iw) / W, fy = static_cast<double>(ih) / H;
        const double mid_x = p.picture.x + p.picture.width / 2.0;
        const double mid_y = p.picture.y + p.picture.height / 2.0;
        // The result region the picture area shows, then the whole pixels of this pane's own
        // picture that cover it.
        const double rx0 = std::max(0.0, v.center_x - p.picture.width / (2.0 * s));
        const double rx1 =
            std::min(static_cast<double>(W), v.center_x + p.picture.width / (2.0 * s));
        const double ry0 = std::max(0.0, v.center_y - p.picture.height / (2.0 * s));
        const double ry1 =
            std::min(static_cast<double>(H), v.center_y + p.picture.height / (2.0 * s));
        const int ix0 = std::max(0, static_cast<int>(std::floor(rx0 * fx)));
        const int ix1 = std::min(iw, static_cast<int>(std::ceil(rx1 * fx)));
        const int iy0 = std::max(0, static_cast<int>(std::floor(ry0 * fy)));
        const int iy1 = std::min(ih, static_cast<int>(std::ceil(ry1 * fy)));
        if (ix1 <= ix0 || iy1 <= iy0) continue;
        PaneDraw d;
        d.pane = p.pane;
        d.clip = p.picture;
        d.src = {ix0, iy0, ix1 - ix0, iy1 - iy0};
        const int x0 = round_to_int(mid_x + (ix0 / fx - v.center_x) * s);
        const int x1 = round_to_int(mid_x + (ix1 / fx - v.center_x) * s);
        const int y0 = round_to_int(mid_y + (iy0 / fy - v.center_y) * s);
        const int y1 = round_to_int(mid_y + (iy1 / fy - v.center_y) * s);
        d.dst = {x0, y0, std::max(1, x1 - x0), std::max(1, y1 - y0)};
        out.push_back(d);
    }
    return out;
}

int compare_pane_at(const CompareView& v, int x, int y) {
    for (const PaneLayout& p : compare_layout(v))
        if (p.frame.contains(x, y)) return p.pane;
    return -1;
}

int compare_open_button_at(const CompareView& v, int x, int y) {
    for (const PaneLayout& p : compare_layout(v))
        if (p.open_button.contains(x, y)) return p.pane;
    return -1;
}
