#pragma once
// The window on Linux: the controls and their labels at their fixed client positions, drops
// through Qt's drag and drop events, painting from the model's paint list, the run
// (RunController) with its progress read by a timer, and the compare window. It speaks the
// user's language (window_language) through Qt's translations, one file per language in
// app/qt/i18n, built in. All behaviour lives in WindowModel and CompareView; this class only
// turns Qt events into model events and carries out the effects.

#include <QImage>
#include <QStringList>
#include <QWidget>

#include "app/qt/compare_window.h"
#include "app/run_controller.h"
#include "app/window_model.h"

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTimer;

class MainWindow : public QWidget {
    Q_OBJECT

   public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    QPushButton* go_button() const { return go_; }
    QLineEdit* width_box() const { return width_box_; }
    QLineEdit* height_box() const { return height_box_; }
    QPushButton* stop_button() const { return stop_; }
    QRadioButton* bmp_button() const { return bmp_; }
    QRadioButton* png_button() const { return png_; }
    QProgressBar* progress_bar() const { return bar_; }
    QLabel* width_label() const { return width_label_; }
    QLabel* height_label() const { return height_label_; }
    QLabel* format_label() const { return format_label_; }
    // The compare window, once a run has opened it.
    CompareWindow* compare_window() const { return compare_; }
    const WindowModel& model() const { return model_; }

    // The program's command line (QApplication::arguments(): the program, then its
    // arguments): the pictures named on it are taken as a drop of them, which only looks at
    // the first. That is how a file manager's "Open with" hands the window a picture. Without
    // arguments nothing happens.
    void open_command_line(const QStringList& arguments);

    // For tests: what GO runs, and what opens a result in the picture viewer.
    void set_run_function(RunFn run) { run_.set_run_function(std::move(run)); }
    void set_opener(CompareWindow::Opener opener) { opener_ = std::move(opener); }

   protected:
    void paintEvent(QPaintEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

   private:
    void apply(const WindowEffects& e);
    void take_drop(const std::vector<std::string>& paths);
    void go_clicked();
    void fit_preview();
    void start_run(const RunRequest& request);
    void run_ended();
    void show_compare(CompareContents contents);
    QWidget* control(int id) const;
    const QImage& preview_image(const PaintOp& op);

    WindowModel model_;
    QPushButton* go_ = nullptr;
    QLineEdit* width_box_ = nullptr;
    QLineEdit* height_box_ = nullptr;
    QPushButton* stop_ = nullptr;
    QRadioButton* bmp_ = nullptr;
    QRadioButton* png_ = nullptr;
    QProgressBar* bar_ = nullptr;
    QLabel* width_label_ = nullptr;
    QLabel* height_label_ = nullptr;
    QLabel* format_label_ = nullptr;
    QTimer* poll_ = nullptr;
    CompareWindow* compare_ = nullptr;
    // The picture as shown, converted for drawing; made on the first paint that shows it.
    QImage preview_;
    const unsigned char* preview_pixels_ = nullptr;

    bool follows_screen_ = false;  // connected to the window's screen changes
    CompareWindow::Opener opener_;
    // The run going, if any. Its thread wakes this window through the event loop, and
    // run_ended finishes it.
    RunController run_;
};
