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
    c.title = std::string(kCompareTitlePrefix) + path_file_name(request.path);
    c.result_width = request.out_width;
    c.result_height = request.out_height;
    if (m.picture_held) {
        c.source = m.held;
        c.panes.push_back(ComparePane{
            -1, std::string(kSourcePaneName) + " - " + path_file_name(request.path), request.path});
    }
    for (int i = 0; i < kMethodCount; ++i) {
        const std::string& path = report.result_path[i];
        if (path.empty()) continue;
        c.panes.push_back(
            ComparePane{i, std::string(kMethodTitles[i]) + " - " + path_file_name(path), path});
    }
    return c;
}

void release_picture(WindowModel* m) {
    m->held = BmpPicture{};
    m->picture_held = false;
}

}  // namespace

WindowEffects window_create(WindowModel* m) {
    *m = WindowModel{};
    return WindowEffects{};
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
    m->progress_text = kStoppingText;
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
    const std::string text = m->stop_requested ? std::string(kStoppingText)
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
        m->progress_text = kStoppedText;
    } else {
        m->go_enabled = false;
        if (report.ok()) m->progress_steps = kProgressSteps;
        m->progress_text = report.ok() ? kDoneText : kFailedText;
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
    for (const LabelPlace& l : {kWidthLabel, kHeightLabel, kFormatLabel}) {
        PaintOp t;
        t.kind = PaintKind::text;
        t.x = l.x;
        t.y = l.y;
        t.text = l.text;
        ops.push_back(t);
    }
    if (m.progress_shown) {
        PaintOp t;
        t.kind = PaintKind::text;
        t.x = kProgressText.x;
        t.y = kProgressText.y;
        t.text = m.progress_text.c_str();
        ops.push_back(t);
    }
    if (m.picture_held) {
        PaintOp p;
        p.kind = PaintKind::picture;
        p.x = kPreviewX;
        p.y = kPreviewY;
        p.width = m.width;
        p.height = m.height;
        p.info_header = m.held.info_header();
        p.pixels = m.held.rows();
        ops.push_back(p);
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
