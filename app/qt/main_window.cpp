#include "app/qt/main_window.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QShortcut>
#include <QTimer>
#include <QTranslator>
#include <QUrl>
#include <QWindow>
#include <cstdio>
#include <cstdlib>

#include "image/bmp.h"

namespace {

QString qtext(const char* utf8) {
    return QString::fromUtf8(utf8);
}

QString qtext(const std::string& utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

QRect qrect(const Rect& r) {
    return QRect(r.x, r.y, r.width, r.height);
}

// The translation files' ids of the texts, in UiText's order.
constexpr const char* kTextIds[kUiTextCount] = {
    "title",    "go",           "width_label",   "height_label", "format_label",
    "stop",     "progress",     "done",          "failed",       "stopped",
    "stopping", "picture_size", "compare_title", "source_pane",  "open"};

// The texts of the language ENLARGE3_LANG or the user's interface names; English where the
// program has no translation file for it.
WindowTexts language_texts() {
    const QStringList user = QLocale::system().uiLanguages();
    const std::string language = window_language(
        std::getenv("ENLARGE3_LANG"), user.isEmpty() ? std::string() : user.front().toStdString());
    QTranslator translator;
    if (!translator.load(QStringLiteral(":/i18n/%1.qm").arg(qtext(language))))
        (void)translator.load(QStringLiteral(":/i18n/en.qm"));
    WindowTexts texts;
    for (int i = 0; i < kUiTextCount; ++i)
        texts[static_cast<std::size_t>(i)] =
            translator.translate(nullptr, kTextIds[i]).toStdString();
    return texts;
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

QRadioButton* make_format_button(QWidget* parent, QButtonGroup* group, int id) {
    auto* button = new QRadioButton(parent);
    group->addButton(button, id);
    return button;
}

QLineEdit* make_size_box(QWidget* parent) {
    auto* box = new QLineEdit(parent);
    box->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // Digits only while typing, pasting included.
    box->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]*"), box));
    return box;
}

}  // namespace

MainWindow::MainWindow(QWidget* parent) : QWidget(parent) {
    (void)window_create(&model_, language_texts());
    setWindowTitle(qtext(window_title(model_.texts)));
    setWindowIcon(QIcon(QStringLiteral(":/enlarge3.png")));
    resize(kWindowWidth, kWindowHeight);
    setAcceptDrops(true);

    // Made in the order Tab goes through them: GO, the boxes, the format, the stop button.
    go_ = new QPushButton(this);
    go_->setAutoDefault(false);
    width_label_ = new QLabel(this);
    width_box_ = make_size_box(this);
    height_label_ = new QLabel(this);
    height_box_ = make_size_box(this);
    format_label_ = new QLabel(this);
    // One group: checking one button unchecks the other.
    auto* formats = new QButtonGroup(this);
    bmp_ = make_format_button(this, formats, kBmpFormatId);
    png_ = make_format_button(this, formats, kPngFormatId);
    connect(formats, &QButtonGroup::idClicked, this,
            [this](int id) { apply(window_command(&model_, id, 0, std::string())); });
    bar_ = new QProgressBar(this);
    bar_->setRange(0, kProgressSteps);
    bar_->setTextVisible(false);
    bar_->hide();
    stop_ = new QPushButton(this);
    stop_->setAutoDefault(false);
    stop_->hide();
    const WindowLayout layout = window_layout(96, kWindowWidth, kWindowHeight);
    const struct {
        QLabel* label;
        QWidget* buddy;
        UiText text;
        Rect place;
    } labels[] = {{width_label_, width_box_, UiText::width_label, layout.width_label},
                  {height_label_, height_box_, UiText::height_label, layout.height_label},
                  {format_label_, bmp_, UiText::format_label, layout.format_label}};
    for (const auto& l : labels) {
        l.label->setText(qtext(ui_text(model_.texts, l.text)));
        l.label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        l.label->setGeometry(qrect(l.place));
        l.label->setBuddy(l.buddy);
    }
    // Qt scales for the screen itself: the places are those at 96 DPI.
    const struct {
        int id;
        Rect place;
    } controls[] = {{kGoButtonId, layout.go},          {kWidthBoxId, layout.width_box},
                    {kHeightBoxId, layout.height_box}, {kBmpFormatId, layout.bmp},
                    {kPngFormatId, layout.png},        {kStopButtonId, layout.stop},
                    {kProgressBarId, layout.bar}};
    for (const auto& c : controls) {
        QWidget* w = control(c.id);
        w->setGeometry(qrect(c.place));
        if (auto* button = qobject_cast<QAbstractButton*>(w))
            button->setText(qtext(control_text(model_, c.id)));
        if (auto* box = qobject_cast<QLineEdit*>(w))
            box->setText(qtext(control_text(model_, c.id)));
        w->setAccessibleName(qtext(accessible_name(model_, c.id)));
    }
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
    // Enter in a box runs GO when it may.
    connect(width_box_, &QLineEdit::returnPressed, this, [this] { go_clicked(); });
    connect(height_box_, &QLineEdit::returnPressed, this, [this] { go_clicked(); });
    connect(width_box_, &QLineEdit::textChanged, this, [this](const QString& text) {
        apply(window_command(&model_, kWidthBoxId, kBoxTextChanged, text.toStdString()));
    });
    connect(height_box_, &QLineEdit::textChanged, this, [this](const QString& text) {
        apply(window_command(&model_, kHeightBoxId, kBoxTextChanged, text.toStdString()));
    });
    apply(WindowEffects{});
}

QWidget* MainWindow::control(int id) const {
    switch (id) {
        case kGoButtonId:
            return go_;
        case kWidthBoxId:
            return width_box_;
        case kHeightBoxId:
            return height_box_;
        case kBmpFormatId:
            return bmp_;
        case kPngFormatId:
            return png_;
        case kStopButtonId:
            return stop_;
        case kProgressBarId:
            return bar_;
        default:
            return nullptr;
    }
}

MainWindow::~MainWindow() {
    (void)window_close(&model_);
    run_.abandon();
    window_destroy(&model_);
}

void MainWindow::apply(const WindowEffects& e) {
    // Qt moves the focus on by itself from a control that is disabled or hidden; the model
    // says where it goes instead.
    int focused = -1;
    for (int id :
         {kGoButtonId, kWidthBoxId, kHeightBoxId, kBmpFormatId, kPngFormatId, kStopButtonId})
        if (control(id)->hasFocus()) focused = id;
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
    if (isActiveWindow() && (focused >= 0 || focusWidget() == nullptr)) {
        QWidget* next = control(focus_after(model_, focused));
        if (!next->hasFocus()) next->setFocus(Qt::OtherFocusReason);
    }
    if (e.repaint) repaint();
    if (e.stop) run_.request_stop();
    if (!e.message.empty())
        QMessageBox::warning(this, windowTitle(), QString::fromStdString(e.message));
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

void MainWindow::fit_preview() {
    apply(window_resize(&model_, width(), height(), 96, devicePixelRatioF()));
}

void MainWindow::resizeEvent(QResizeEvent*) {
    fit_preview();
}

// Moved to a screen of another density, the preview holds as many device pixels as it now has.
void MainWindow::showEvent(QShowEvent*) {
    QWindow* window = windowHandle();
    if (window == nullptr || follows_screen_) return;
    follows_screen_ = true;
    connect(window, &QWindow::screenChanged, this, [this] { fit_preview(); });
    fit_preview();
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
    preview_pixels_ = nullptr;
    apply(window_drop(&model_, paths, read_whole_file));
    if (!model_.refusal.empty()) std::fprintf(stderr, "%s\n", model_.refusal.c_str());
}

const QImage& MainWindow::preview_image(const PaintOp& op) {
    if (preview_pixels_ == op.pixels && preview_.width() == op.width &&
        preview_.height() == op.height && preview_.devicePixelRatio() == model_.pixel_ratio)
        return preview_;
    preview_pixels_ = op.pixels;
    preview_ = QImage(op.width, op.height, QImage::Format_RGB32);
    if (preview_.isNull()) return preview_;  // too large to convert: shown as background
    // Its pixels are the screen's own, however dense the screen.
    preview_.setDevicePixelRatio(model_.pixel_ratio);
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
