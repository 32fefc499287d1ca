#pragma once
// The window on Linux: the controls at their fixed client positions, drops through Qt's drag
// and drop events, painting from the model's paint list. All behaviour lives in WindowModel;
// this class only turns Qt events into model events and carries out the effects.

#include <QImage>
#include <QWidget>

#include "app/window_model.h"

class QLineEdit;
class QPushButton;

class MainWindow : public QWidget {
    Q_OBJECT

   public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    QPushButton* go_button() const { return go_; }
    QLineEdit* width_box() const { return width_box_; }
    QLineEdit* height_box() const { return height_box_; }
    const WindowModel& model() const { return model_; }

   protected:
    void paintEvent(QPaintEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

   private:
    void apply(const WindowEffects& e);
    void go_clicked();
    const QImage& preview_image(const PaintOp& op);

    WindowModel model_;
    QPushButton* go_ = nullptr;
    QLineEdit* width_box_ = nullptr;
    QLineEdit* height_box_ = nullptr;
    // The held picture converted for drawing; made on first paint after each drop.
    QImage preview_;
    bool preview_ready_ = false;
};
