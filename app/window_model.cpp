#include "app/window_model.h"

#include <climits>
#include <cstdio>
#include <new>

#include "base/file_io.h"
#include "image/bmp.h"

namespace {

// A BMP's size field is a signed 32-bit number, so no byte past this offset is ever read.
constexpr std::uint64_t kMaxHeldBytes = INT32_MAX;

void show_size_in_boxes(WindowModel* m, WindowEffects* e) {
    m->width_text = std::to_string(m->width);
    m->height_text = std::to_string(m->height);
    m->out_width = m->width;
    m->out_height = m->height;
    e->set_box_texts = true;
}

void release_picture(WindowModel* m) {
    m->held = FileBytes{};
    m->picture_held = false;
    m->header_offset = 0;
    m->pixel_offset = 0;
}

}  // namespace

bool read_whole_file(const std::string& path, FileBytes* out) {
    std::uint64_t length = 0;
    int err = 0;
    if (file_kind(path, &length, &err) != FileKind::regular) return false;
    const std::size_t n = static_cast<std::size_t>(length < kMaxHeldBytes ? length : kMaxHeldBytes);
    // A block of 0 bytes would be no block at all; keep one so data is never null.
    std::shared_ptr<unsigned char> data(new (std::nothrow) unsigned char[n ? n : 1](),
                                        std::default_delete<unsigned char[]>());
    if (!data) return false;
    FILE* f = open_file(path, "rb");
    if (f == nullptr) return false;
    const bool complete = std::fread(data.get(), 1, n, f) == n;
    std::fclose(f);
    if (!complete) return false;
    out->data = std::move(data);
    out->size = n;
    out->file_length = length;
    return true;
}

WindowEffects window_create(WindowModel* m) {
    *m = WindowModel{};
    return WindowEffects{};
}

WindowEffects window_drop(WindowModel* m, const std::vector<std::string>& paths,
                          const ReadWholeFileFn& read) {
    WindowEffects e;
    if (paths.empty()) return e;
    const std::string& path = paths.front();
    m->dropped_path = path;

    FileBytes bytes;
    if (!read(path, &bytes)) {
        // The held picture, GO and the accepted path stay; only the boxes are reset.
        m->refusal = "'" + path + "' cannot be opened";
        show_size_in_boxes(m, &e);
        return e;
    }

    BmpHeader h;
    Status st = bmp_check(bytes.data.get(), bytes.size, bytes.file_length, path, &h);
    if (!st.ok()) {
        // Refused: nothing is held any more, but GO keeps its state and stays bound to the
        // picture that was accepted, never to this file.
        release_picture(m);
        m->refusal = st.message;
        show_size_in_boxes(m, &e);
        return e;
    }

    m->held = std::move(bytes);
    m->picture_held = true;
    m->header_offset = 14;
    m->pixel_offset = h.pixel_offset;
    m->width = h.width;
    m->height = h.height;
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
            if (!m->go_enabled || m->accepted_path.empty()) break;
            m->go_enabled = false;
            m->out_width = box_value(m->width_text);
            m->out_height = box_value(m->height_text);
            e.run = true;
            e.request = RunRequest{m->accepted_path, m->out_width, m->out_height};
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

WindowEffects window_run_finished(WindowModel* m, const RunReport& report) {
    WindowEffects e;
    m->go_enabled = false;
    e.repaint = true;
    if (!report.ok()) e.message = report.failure_text();
    return e;
}

std::vector<PaintOp> window_paint(const WindowModel& m) {
    std::vector<PaintOp> ops;
    PaintOp fill;
    fill.kind = PaintKind::fill;
    fill.rgb = kBackgroundRgb;
    ops.push_back(fill);
    for (const LabelPlace& l : {kWidthLabel, kHeightLabel}) {
        PaintOp t;
        t.kind = PaintKind::text;
        t.x = l.x;
        t.y = l.y;
        t.text = l.text;
        ops.push_back(t);
    }
    if (m.picture_held) {
        PaintOp p;
        p.kind = PaintKind::picture;
        p.x = kPreviewX;
        p.y = kPreviewY;
        p.width = m.width;
        p.height = m.height;
        p.info_header = m.held.data.get() + m.header_offset;
        p.pixels = m.held.data.get() + m.pixel_offset;
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
