#include "app/qt/compare_window.h"

#include <QDesktopServices>
#include <QFile>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QUrl>
#include <QWheelEvent>
#include <cstdio>

#include "image/bmp.h"

namespace {

QRect qrect(const Rect& r) {
    return QRect(r.x, r.y, r.width, r.height);
}

void open_in_viewer(const std::string& path) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(QFile::decodeName(path.c_str())));
}

}  // namespace

QImage image_of(const BmpPicture& picture) {
    QImage image(picture.width, picture.height, QImage::Format_RGB32);
    if (image.isNull()) return image;  // too large to convert: drawn as an empty pane
    const std::size_t stride =
        static_cast<std::size_t>(bmp_row_stride(static_cast<std::uint64_t>(picture.width)));
    for (int t = 0; t < picture.height; ++t) {
        const unsigned char* src =
            picture.rows() + static_cast<std::size_t>(picture.height - 1 - t) * stride;
        auto* dst = reinterpret_cast<QRgb*>(image.scanLine(t));
        for (int x = 0; x < picture.width; ++x, src += 3) dst[x] = qRgb(src[2], src[1], src[0]);
    }
    return image;
}

CompareWindow::CompareWindow(QWidget* parent)
    : QWidget(parent, Qt::Window), opener_(open_in_viewer) {
    resize(kCompareWidth, kCompareHeight);
    setFocusPolicy(Qt::StrongFocus);
}

void CompareWindow::set_contents(CompareContents contents) {
    images_.clear();
    for (const ComparePane& pane : contents.panes) {
        if (pane.method < 0) {
            images_.push_back(image_of(contents.source));
            continue;
        }
        BmpPicture picture;
        const Status st = load_window_picture(pane.path, &picture);
        if (st.ok()) {
            images_.push_back(image_of(picture));
        } else {
            std::fprintf(stderr, "%s\n", st.message.c_str());
            images_.emplace_back();
        }
    }
    setWindowTitle(QString::fromStdString(contents.title));
    // The window keeps no file: the source picture is shared with the main window and the
    // results now live in images_.
    contents.source.bytes.reset();
    compare_open(&view_, std::move(contents), width(), height());
    update();
}

void CompareWindow::open_pane(int pane) {
    if (pane < 0 || pane >= static_cast<int>(view_.contents.panes.size())) return;
    if (opener_) opener_(view_.contents.panes[static_cast<std::size_t>(pane)].path);
}

void CompareWindow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), QColor::fromRgb(static_cast<QRgb>(kCompareBackgroundRgb)));
    for (const PaneDraw& d : compare_draws(view_)) {
        const QImage& image = images_[static_cast<std::size_t>(d.pane)];
        if (image.isNull()) continue;
        p.save();
        p.setClipRect(qrect(d.clip));
        // Without smoothing the painter repeats pixels, so every result pixel is a sharp block.
        p.drawImage(qrect(d.dst), image, qrect(d.src));
        p.restore();
    }
    for (const PaneLayout& l : compare_layout(view_)) {
        const ComparePane& pane = view_.contents.panes[static_cast<std::size_t>(l.pane)];
        p.fillRect(qrect(l.label), QColor(0x30, 0x30, 0x30));
        p.setPen(Qt::white);
        p.drawText(qrect(l.label).adjusted(6, 0, -4, 0), Qt::AlignVCenter | Qt::AlignLeft,
                   QString::fromStdString(std::to_string(l.pane + 1) + "  " + pane.label));
        p.fillRect(qrect(l.open_button), QColor(0xE0, 0xE0, 0xE0));
        p.setPen(Qt::black);
        p.drawRect(qrect(l.open_button).adjusted(0, 0, -1, -1));
        p.drawText(qrect(l.open_button), Qt::AlignCenter,
                   QString::fromStdString(view_.contents.open_text));
    }
}

void CompareWindow::resizeEvent(QResizeEvent*) {
    compare_resize(&view_, width(), height());
}

void CompareWindow::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if (key >= Qt::Key_0 && key <= Qt::Key_4) {
        compare_show(&view_, key - Qt::Key_0);
    } else if (key == Qt::Key_Plus || key == Qt::Key_Equal) {
        compare_key(&view_, CompareKey::zoom_in);
    } else if (key == Qt::Key_Minus) {
        compare_key(&view_, CompareKey::zoom_out);
    } else if (key == Qt::Key_Left) {
        compare_key(&view_, CompareKey::left);
    } else if (key == Qt::Key_Right) {
        compare_key(&view_, CompareKey::right);
    } else if (key == Qt::Key_Up) {
        compare_key(&view_, CompareKey::up);
    } else if (key == Qt::Key_Down) {
        compare_key(&view_, CompareKey::down);
    } else {
        QWidget::keyPressEvent(event);
        return;
    }
    update();
}

void CompareWindow::wheelEvent(QWheelEvent* event) {
    const int steps = event->angleDelta().y() / 120;
    if (steps == 0) return;
    const QPoint at = event->position().toPoint();
    compare_zoom(&view_, steps, at.x(), at.y());
    update();
}

void CompareWindow::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const QPoint at = event->position().toPoint();
    const int button = compare_open_button_at(view_, at.x(), at.y());
    if (button >= 0) {
        open_pane(button);
        return;
    }
    dragging_ = true;
    last_ = at;
}

void CompareWindow::mouseMoveEvent(QMouseEvent* event) {
    if (!dragging_) return;
    const QPoint at = event->position().toPoint();
    compare_drag(&view_, at.x() - last_.x(), at.y() - last_.y());
    last_ = at;
    update();
}

void CompareWindow::mouseReleaseEvent(QMouseEvent*) {
    dragging_ = false;
}

void CompareWindow::mouseDoubleClickEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (compare_open_button_at(view_, at.x(), at.y()) >= 0) return;  // the press opened it
    open_pane(compare_pane_at(view_, at.x(), at.y()));
}
