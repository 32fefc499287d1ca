#pragma once
// The compare window on Linux: the results of a run side by side with the picture enlarged by
// pixel repetition, zoomed and moved together. All behaviour lives in CompareView; this class
// decodes each picture once, turns Qt events into CompareView events and draws what
// compare_draws says, letting the painter scale only the pixels on screen.

#include <QImage>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "app/compare_view.h"

class CompareWindow : public QWidget {
    Q_OBJECT

   public:
    // Opens a file in the system's picture viewer; replaceable for tests.
    using Opener = std::function<void(const std::string& path)>;

    explicit CompareWindow(QWidget* parent = nullptr);

    // Shows a run's results, replacing whatever was shown; a result that cannot be read
    // draws as an empty pane and is named on standard error.
    void set_contents(CompareContents contents);
    void set_opener(Opener opener) { opener_ = std::move(opener); }

    const CompareView& view() const { return view_; }
    // The decoded picture of pane i, as drawn.
    const QImage& pane_image(int i) const { return images_[static_cast<std::size_t>(i)]; }

   protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

   private:
    void open_pane(int pane);

    CompareView view_;
    std::vector<QImage> images_;  // one per pane
    Opener opener_;
    bool dragging_ = false;
    QPoint last_;
};

// A BMP's bottom-up BGR rows as a top-down QImage, converted once for drawing.
QImage image_of(const BmpPicture& picture);
