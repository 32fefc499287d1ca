#include "app/window_model.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <new>

#include "base/file_io.h"
#include "base/path.h"
#include "image/bmp.h"

namespace {

void show_size_in_boxes(WindowModel* m, WindowEffects* e) {
    m->width_text = std::to_string(m->width);
    m->height_text = std::to_string(m->height);
    m->out_width = m->width;
    m->out_height = m->height;
    e->set_box_texts = true;
}

std::string progress_text(int method, int steps) {
    const char* title = method >= 0 && method < kMethodCount ? kMethodTitles[method] : "";
    return std::string(title) + " " + std::to_string(steps * 100 / kProgressSteps) + "%";
}

// The compare window's contents for a run's results: the held picture first, then each
// result written, in run order.
CompareContents compare_contents_of(const WindowModel& m, const RunReport& report,
                                    const RunRequest& request) {
    CompareContents c;
    const std::string name = path_file_name(request.path);
    c.title = fill_text(ui_text(m.texts, UiText::compare_title), {name});
    c.open_text = ui_text(m.texts, UiText::open);
    c.result_width = request.out_width;
    c.result_height = request.out_height;
    if (m.picture_held) {
        c.source = m.held;
        c.panes.push_back(
            ComparePane{-1, ui_text(m.texts, UiText::source_pane) + " - " + name, request.path});
    }
    for (int i = 0; i < kMethodCount; ++i) {
        const std::string& path = report.result_path[i];
        if (path.empty()) continue;
        c.panes.push_back(
            ComparePane{i, std::string(kMethodTitles[i]) + " - " + path_file_name(path), path});
    }
    return c;
}

// The scale a picture is shown at, in per cent, as the picture's text gives it: whole per
// cents, tenths below 10, and never rounded up to look like its own size.
std::string percent_text(double scale) {
    const double p = scale * 100.0;
    if (p >= 10.0) return std::to_string(static_cast<int>(p));
    const int tenths = std::max(1, static_cast<int>(p * 10.0));
    return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10);
}

// Fits the held picture into the preview area as it is now; true when what is shown changed.
bool fit_preview(WindowModel* m) {
    if (!m->picture_held) {
        const bool was_shown = m->shown_width != 0;
        m->shown = BmpPicture{};
        m->shown_width = m->shown_height = 0;
        m->picture_text.clear();
        return was_shown;
    }
    const Rect area = window_layout(m->dpi, m->client_width, m->client_height).preview;
    const int area_width = static_cast<int>(area.width * m->pixel_ratio);
    const int area_height = static_cast<int>(area.height * m->pixel_ratio);
    const PictureSize size = preview_size(m->width, m->height, area_width, area_height);
    if (size.width == m->shown_width && size.height == m->shown_height) return false;
    m->shown = BmpPicture{};
    m->shown_width = size.width;
    m->shown_height = size.height;
    const bool own = size.width == m->width && size.height == m->height;
    // Without the memory for the copy the picture is shown at its own size, clipped.
    if (!own && (size.width == 0 || !shrink_picture(m->held, size.width, size.height, &m->shown))) {
        m->shown_width = m->width;
        m->shown_height = m->height;
    }
    const double scale = own || m->shown.bytes == nullptr
                             ? 1.0
                             : std::min(static_cast<double>(area_width) / m->width,
                                        static_cast<double>(area_height) / m->height);
    m->picture_text = fill_text(
        ui_text(m->texts, UiText::picture_size),
        {std::to_string(m->width), std::to_string(m->height), percent_text(std::min(scale, 1.0))});
    return true;
}

void release_picture(WindowModel* m) {
    m->held = BmpPicture{};
    m->picture_held = false;
    (void)fit_preview(m);
}

Rect place_at(const ControlPlace& c, int dpi) {
    return {scale_to_dpi(c.x, dpi), scale_to_dpi(c.y, dpi), scale_to_dpi(c.width, dpi),
            scale_to_dpi(c.height, dpi)};
}

Rect place_at(const Rect& r, int dpi) {
    return place_at(ControlPlace{0, r.x, r.y, r.width, r.height}, dpi);
}

Rect place_at(const LabelPlace& l, int dpi) {
    return place_at(ControlPlace{0, l.x, l.y, l.width, l.height}, dpi);
}

}  // namespace

WindowLayout window_layout(int dpi, int client_width, int client_height) {
    WindowLayout l;
    l.go = place_at(kGoButton, dpi);
    l.width_box = place_at(kWidthBox, dpi);
    l.height_box = place_at(kHeightBox, dpi);
    l.bmp = place_at(kBmpFormat, dpi);
    l.png = place_at(kPngFormat, dpi);
    l.stop = place_at(kStopButton, dpi);
    l.bar = place_at(kProgressBar, dpi);
    l.progress_text = place_at(kProgressText, dpi);
    l.width_label = place_at(kWidthLabel, dpi);
    l.height_label = place_at(kHeightLabel, dpi);
    l.format_label = place_at(kFormatLabel, dpi);
    const int x = scale_to_dpi(kPreviewX, dpi), y = scale_to_dpi(kPreviewY, dpi);
    const int line = scale_to_dpi(kPictureTextHeight, dpi);
    const int width = std::max(0, client_width - x - scale_to_dpi(kPreviewMargin, dpi));
    l.preview = {x, y, width, std::max(0, client_height - y - line)};
    l.picture_text = {x, std::max(y, client_height - line), width, line};
    return l;
}

PictureSize preview_size(int width, int height, int area_width, int area_height) {
    if (width <= area_width && height <= area_height) return {width, height};
    if (width <= 0 || height <= 0 || area_width <= 0 || area_height <= 0) return {0, 0};
    const std::int64_t w = width, h = height, aw = area_width, ah = area_height;
    // The side that limits the scale fills the area; the other follows, rounded to the
    // nearest, which keeps it within the area.
    if (aw * h <= ah * w)
        return {area_width,
                static_cast<int>(std::max<std::int64_t>(1, (2 * h * aw + w) / (2 * w)))};
    return {static_cast<int>(std::max<std::int64_t>(1, (2 * w * ah + h) / (2 * h))), area_height};
}

WindowEffects window_create(WindowModel* m, WindowTexts texts) {
    *m = WindowModel{};
    m->texts = std::move(texts);
    return WindowEffects{};
}

WindowEffects window_resize(WindowModel* m, int client_width, int client_height, int dpi,
                            double pixel_ratio) {
    WindowEffects e;
    e.relayout = dpi != m->dpi;
    m->client_width = client_width;
    m->client_height = client_height;
    m->dpi = dpi;
    m->pixel_ratio = pixel_ratio > 0.0 ? pixel_ratio : 1.0;
    e.repaint = fit_preview(m) || e.relayout;
    return e;
}

std::string control_text(const WindowModel& m, int control_id) {
    switch (control_id) {
        case kGoButtonId:
            return ui_text(m.texts, UiText::go);
        case kStopButtonId:
            return ui_text(m.texts, UiText::stop);
        case kWidthBoxId:
            return m.width_text;
        case kHeightBoxId:
            return m.height_text;
        case kBmpFormatId:
            return "BMP";
        case kPngFormatId:
            return "PNG";
        default:
            return std::string();
    }
}

int focus_after(const WindowModel& m, int focused_id) {
    switch (focused_id) {
        case kWidthBoxId:
        case kHeightBoxId:
        case kBmpFormatId:
        case kPngFormatId:
            return focused_id;
        case kGoButtonId:
            if (m.go_enabled && !m.running) return focused_id;
            break;
        case kStopButtonId:
            if (m.running) return focused_id;
            break;
        default:
            break;
    }
    if (m.running) return kStopButtonId;
    return m.go_enabled ? kGoButtonId : kWidthBoxId;
}

std::string accessible_name(const WindowModel& m, int control_id) {
    switch (control_id) {
        case kWidthBoxId:
            return ui_text(m.texts, UiText::width_label);
        case kHeightBoxId:
            return ui_text(m.texts, UiText::height_label);
        case kProgressBarId:
            return ui_text(m.texts, UiText::progress);
        default:
            break;
    }
    // A button's text without the spaces that pad it, full-width ones included.
    std::string name = control_text(m, control_id);
    const std::string wide_space = "\u3000";
    for (bool trimmed = true; trimmed;) {
        trimmed = false;
        for (const std::string& space : {std::string(" "), wide_space}) {
            if (name.size() >= space.size() && name.compare(0, space.size(), space) == 0) {
                name.erase(0, space.size());
                trimmed = true;
            }
            if (name.size() >= space.size() &&
                name.compare(name.size() - space.size(), space.size(), space) == 0) {
                name.erase(name.size() - space.size());
                trimmed = true;
            }
        }
    }
    return name;
}

RunReport run_request(const RunRequest& request, RunProgress* progress) {
    return resize_run(request.path, request.out_width, request.out_height, kAllMethods, progress,
                      request.format);
}

WindowEffects window_drop(WindowModel* m, const std::vector<std::string>& paths,
                          const ReadWholeFileFn& read) {
    WindowEffects e;
    if (paths.empty()) return e;
    if (m->running) {
        // The run reads its picture and writes beside it; nothing it depends on may change.
        m->refusal = "'" + paths.front() + "' was not taken: a run is going";
        return e;
    }
    const std::string& path = paths.front();
    m->dropped_path = path;

    FileBytes bytes;
    if (!read(path, &bytes)) {
        // The held picture, GO and the accepted path stay; only the boxes are reset.
        m->refusal = "'" + path + "' cannot be opened";
        show_size_in_boxes(m, &e);
        return e;
    }

    // The earlier picture goes first: a large one and its successor need not both fit.
    release_picture(m);
    BmpPicture shown;
    PictureKind kind = PictureKind::unknown;
    Status st = window_picture(std::move(bytes), path, machine_decode_limits(), &shown, &kind);
    if (!st.ok()) {
        // Refused: nothing is held any more, but GO keeps its state and stays bound to the
        // picture that was accepted, never to this file. A picture too large for the limits
        // is a picture still: the user is told why, and how to raise the size limit.
        m->refusal = st.message;
        if (st.code == StatusCode::too_large) e.message = st.message;
        show_size_in_boxes(m, &e);
        return e;
    }

    m->held = std::move(shown);
    m->picture_held = true;
    m->width = m->held.width;
    m->height = m->held.height;
    (void)fit_preview(m);
    m->result_format = default_result_format(kind);
    m->accepted_path = path;
    m->go_enabled = true;
    m->refusal.clear();
    e.repaint = true;
    show_size_in_boxes(m, &e);
    return e;
}

WindowEffects window_command(WindowModel* m, int control_id, unsigned notification,
                             const std::string& text) {
    WindowEffects e;
    switch (control_id) {
        case kGoButtonId:
            // A disabled button sends nothing; a command arriving anyway (another program,
            // a test) must not start a second run of the same press.
            if (!m->go_enabled || m->running || m->accepted_path.empty()) break;
            m->go_enabled = false;
            m->out_width = box_value(m->width_text);
            m->out_height = box_value(m->height_text);
            m->running = true;
            m->stop_requested = false;
            m->run_request = RunRequest{
                m->accepted_path, m->out_width, m->out_height,
                m->result_format == ResultFormat::png ? FormatChoice::png : FormatChoice::bmp};
            m->progress_shown = true;
            m->progress_steps = 0;
            m->progress_text = progress_text(0, 0);
            e.update_progress = true;
            e.repaint = true;
            e.run = true;
            e.request = m->run_request;
            break;
        case kStopButtonId:
            e = window_stop(m);
            break;
        case kBmpFormatId:
            m->result_format = ResultFormat::bmp;
            break;
        case kPngFormatId:
            m->result_format = ResultFormat::png;
            break;
        case kWidthBoxId:
            if (notification != kBoxTextChanged) break;
            m->width_text = text;
            m->out_width = box_value(text);
            break;
        case kHeightBoxId:
            if (notification != kBoxTextChanged) break;
            m->height_text = text;
            m->out_height = box_value(text);
            break;
        default:
            break;
    }
    return e;
}

WindowEffects window_stop(WindowModel* m) {
    WindowEffects e;
    if (!m->running || m->stop_requested) return e;
    m->stop_requested = true;
    m->progress_text = ui_text(m->texts, UiText::stopping);
    e.stop = true;
    e.update_progress = true;
    return e;
}

WindowEffects window_progress(WindowModel* m, int method, double fraction) {
    WindowEffects e;
    if (!m->running) return e;
    const int steps = static_cast<int>(
        std::min(std::max(fraction, 0.0), 1.0) * static_cast<double>(kProgressSteps));
    const int shown = std::max(m->progress_steps, steps);
    const std::string text = m->stop_requested ? ui_text(m->texts, UiText::stopping)
                                               : progress_text(std::max(method, 0), shown);
    if (shown == m->progress_steps && text == m->progress_text) return e;
    m->progress_steps = shown;
    m->progress_text = text;
    e.update_progress = true;
    return e;
}

WindowEffects window_run_finished(WindowModel* m, const RunReport& report) {
    WindowEffects e;
    if (!m->running) return e;
    m->running = false;
    m->stop_requested = false;
    e.update_progress = true;
    e.repaint = true;
    if (report.stopped()) {
        // A stop is not a finished run: the same picture may be run again.
        m->go_enabled = !m->accepted_path.empty();
        m->progress_text = ui_text(m->texts, UiText::stopped);
    } else {
        m->go_enabled = false;
        if (report.ok()) m->progress_steps = kProgressSteps;
        m->progress_text = ui_text(m->texts, report.ok() ? UiText::done : UiText::failed);
    }
    e.message = report.failure_text();
    for (const std::string& path : report.result_path) {
        if (path.empty()) continue;
        e.compare = true;
        e.compare_contents = compare_contents_of(*m, report, m->run_request);
        break;
    }
    return e;
}

WindowEffects window_close(WindowModel* m) {
    return window_stop(m);
}

std::vector<PaintOp> window_paint(const WindowModel& m) {
    std::vector<PaintOp> ops;
    PaintOp fill;
    fill.kind = PaintKind::fill;
    fill.rgb = kBackgroundRgb;
    ops.push_back(fill);
    const WindowLayout layout = window_layout(m.dpi, m.client_width, m.client_height);
    auto text = [&ops](const Rect& at, const std::string& s) {
        PaintOp t;
        t.kind = PaintKind::text;
        t.x = at.x;
        t.y = at.y;
        t.text = s.c_str();
        ops.push_back(t);
    };
    if (m.progress_shown) text(layout.progress_text, m.progress_text);
    if (m.picture_held) {
        const BmpPicture& shown = m.shown.bytes != nullptr ? m.shown : m.held;
        PaintOp p;
        p.kind = PaintKind::picture;
        p.x = layout.preview.x;
        p.y = layout.preview.y;
        p.width = shown.width;
        p.height = shown.height;
        p.info_header = shown.info_header();
        p.pixels = shown.rows();
        ops.push_back(p);
        text(layout.picture_text, m.picture_text);
    }
    return ops;
}

void window_destroy(WindowModel* m) {
    release_picture(m);
}

int box_value(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    // Accumulate as a negative number: its range holds INT_MIN, the positive one does not.
    long long v = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        v = v * 10 - (text[i] - '0');
        if (v < INT_MIN) v = static_cast<long long>(INT_MIN) - 1;  // saturated; keep it there
    }
    if (negative) return v < INT_MIN ? INT_MIN : static_cast<int>(v);
    return v < -static_cast<long long>(INT_MAX) ? INT_MAX : static_cast<int>(-v);
}
