#include "app/qt/main_window.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QIcon>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QShortcut>
#include <QTimer>
#include <QUrl>
#include <cstdio>

#include "image/bmp.h"

namespace {

QString qtext(const char* utf8) {
    return QString::fromUtf8(utf8);
}

// Dropped URLs that name local files, as the file system spells them.
std::vector<std::string> local_paths(const QMimeData* data) {
    std::vector<std::string> paths;
    if (data == nullptr || !data->hasUrls()) return paths;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile()) paths.push_back(QFile::encodeName(url.toLocalFile()).toStdString());
    return paths;
}

bool first_is_local_file(const QMimeData* data) {
    return data != nullptr && data->hasUrls() && !data->urls().isEmpty() &&
           data->urls().front().isLocalFile();
}

QRadioButton* make_format_button(QWidget* parent, QButtonGroup* group, const ControlPlace& place) {
    auto* button = new QRadioButton(qtext(place.text), parent);
    button->setGeometry(place.x, place.y, place.width, place.height);
    group->addButton(button, place.id);
    return button;
}

QLineEdit* make_size_box(QWidget* parent, const ControlPlace& place) {
    auto* box = new QLineEdit(qtext(place.text), parent);
    box->setGeometry(place.x, place.y, place.width, place.height);
    box->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // Digits only while typing, pasting included.
    box->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]*"), box));
    return box;
}

}  // namespace

MainWindow::MainWindow(QWidget* parent) : QWidget(parent) {
    setWindowTitle(qtext(kWindowTitle));
    setWindowIcon(QIcon(QStringLiteral(":/enlarge3.png")));
    resize(kWindowWidth, kWindowHeight);
    setAcceptDrops(true);

    go_ = new QPushButton(qtext(kGoButton.text), this);
    go_->setGeometry(kGoButton.x, kGoButton.y, kGoButton.width, kGoButton.height);
    go_->setAutoDefault(false);
    width_box_ = make_size_box(this, kWidthBox);
    height_box_ = make_size_box(this, kHeightBox);
    // One group: checking one button unchecks the other.
    auto* formats = new QButtonGroup(this);
    bmp_ = make_format_button(this, formats, kBmpFormat);
    png_ = make_format_button(this, formats, kPngFormat);
    connect(formats, &QButtonGroup::idClicked, this,
            [this](int id) { apply(window_command(&model_, id, 0, std::string())); });

    bar_ = new QProgressBar(this);
    bar_->setGeometry(kProgressBar.x, kProgressBar.y, kProgressBar.width, kProgressBar.height);
    bar_->setRange(0, kProgressSteps);
    bar_->setTextVisible(false);
    bar_->hide();
    stop_ = new QPushButton(qtext(kStopButton.text), this);
    stop_->setGeometry(kStopButton.x, kStopButton.y, kStopButton.width, kStopButton.height);
    stop_->setAutoDefault(false);
    stop_->hide();
    poll_ = new QTimer(this);
    poll_->setInterval(30);
    connect(poll_, &QTimer::timeout, this, [this] { apply(run_.poll(&model_)); });
    // Esc stops the run whichever control has the focus.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::WindowShortcut);
    connect(escape, &QShortcut::activated, this, [this] { apply(window_stop(&model_)); });
    connect(stop_, &QPushButton::clicked, this,
            [this] { apply(window_command(&model_, kStopButtonId, 0, std::string())); });

    connect(go_, &QPushButton::clicked, this, [this] { go_clicked(); });
    connect(width_box_, &QLineEdit::textChanged, this, [this](const QString& text) {
        apply(window_command(&model_, kWidthBoxId, kBoxTextChanged, text.toStdString()));
    });
    connect(height_box_, &QLineEdit::textChanged, this, [this](const QString& text) {
        apply(window_command(&model_, kHeightBoxId, kBoxTextChanged, text.toStdString()));
    });
    apply(window_create(&model_));
}

MainWindow::~MainWindow() {
    (void)window_close(&model_);
    run_.abandon();
    window_destroy(&model_);
}

void MainWindow::apply(const WindowEffects& e) {
    if (e.set_box_texts) {
        width_box_->setText(QString::fromStdString(model_.width_text));
        height_box_->setText(QString::fromStdString(model_.height_text));
    }
    go_->setEnabled(model_.go_enabled);
    (model_.result_format == ResultFormat::png ? png_ : bmp_)->setChecked(true);
    if (e.update_progress) {
        bar_->setVisible(model_.progress_shown);
        bar_->setValue(model_.progress_steps);
        stop_->setVisible(model_.running);
        update(kProgressText.x, kProgressText.y, kProgressText.width, kProgressText.height);
    }
    if (e.repaint) repaint();
    if (e.stop) run_.request_stop();
    if (!e.message.empty())
        QMessageBox::warning(this, qtext(kWindowTitle), QString::fromStdString(e.message));
    if (e.run) start_run(e.request);
    if (e.compare) show_compare(e.compare_contents);
}

void MainWindow::start_run(const RunRequest& request) {
    run_.start(request, [this] {
        // Queued to this window's thread, where run_ended finishes the run.
        QMetaObject::invokeMethod(
            this, [this] { run_ended(); }, Qt::QueuedConnection);
    });
    poll_->start();
}

void MainWindow::run_ended() {
    poll_->stop();
    if (!run_.going()) return;  // abandoned when the window closed
    std::string notice;
    const WindowEffects e = run_.finish(&model_, &notice);
    // As a refused drop's line: for whoever started the window from a terminal.
    if (!notice.empty()) std::fprintf(stderr, "%s\n", notice.c_str());
    apply(e);
}

void MainWindow::show_compare(CompareContents contents) {
    if (compare_ == nullptr) {
        compare_ = new CompareWindow(this);
        if (opener_) compare_->set_opener(opener_);
    }
    compare_->set_contents(std::move(contents));
    compare_->show();
    compare_->raise();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    apply(window_close(&model_));
    run_.abandon();
    poll_->stop();
    if (compare_ != nullptr) compare_->close();
    event->accept();
}

void MainWindow::go_clicked() {
    apply(window_command(&model_, kGoButtonId, 0, std::string()));
}

// While a run is going the drop is not offered at all: the cursor says so.
void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (!model_.running && first_is_local_file(event->mimeData())) event->acceptProposedAction();
}

void MainWindow::dragMoveEvent(QDragMoveEvent* event) {
    if (!model_.running && first_is_local_file(event->mimeData())) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
    std::vector<std::string> paths = local_paths(event->mimeData());
    if (paths.empty()) return;
    event->acceptProposedAction();
    take_drop(paths);
}

void MainWindow::open_command_line(const QStringList& arguments) {
    std::vector<std::string> paths;
    for (qsizetype i = 1; i < arguments.size(); ++i)
        paths.push_back(QFile::encodeName(arguments.at(i)).toStdString());
    if (!paths.empty()) take_drop(paths);
}

void MainWindow::take_drop(const std::vector<std::string>& paths) {
    preview_ = QImage();
    preview_ready_ = false;
    apply(window_drop(&model_, paths, read_whole_file));
    if (!model_.refusal.empty()) std::fprintf(stderr, "%s\n", model_.refusal.c_str());
}

const QImage& MainWindow::preview_image(const PaintOp& op) {
    if (preview_ready_) return preview_;
    preview_ready_ = true;
    preview_ = QImage(op.width, op.height, QImage::Format_RGB32);
    if (preview_.isNull()) return preview_;  // too large to convert: shown as background
    const std::size_t stride =
        static_cast<std::size_t>(bmp_row_stride(static_cast<std::uint64_t>(op.width)));
    for (int t = 0; t < op.height; ++t) {
        // Rows are stored bottom-up.
        const unsigned char* src = op.pixels + static_cast<std::size_t>(op.height - 1 - t) * stride;
        auto* dst = reinterpret_cast<QRgb*>(preview_.scanLine(t));
        for (int x = 0; x < op.width; ++x, src += 3) dst[x] = qRgb(src[2], src[1], src[0]);
    }
    return preview_;
}

void MainWindow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    for (const PaintOp& op : window_paint(model_)) {
        switch (op.kind) {
            case PaintKind::fill:
                p.fillRect(rect(), QColor::fromRgb(static_cast<QRgb>(op.rgb)));
                break;
            case PaintKind::text:
                p.setPen(palette().color(QPalette::WindowText));
                p.drawText(QRect(op.x, op.y, width(), height()), Qt::AlignLeft | Qt::AlignTop,
                           qtext(op.text));
                break;
            case PaintKind::picture:
                p.drawImage(QPoint(op.x, op.y), preview_image(op));
                break;
        }
    }
}
