// The Qt window under the shared scenarios, on the offscreen platform: files dropped as URLs,
// clicks and keys through QTest, and what the window shows read back from grab(). Beside
// them, what only the Qt window has.

#include <QAccessible>
#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QUrl>
#include <QtTest>

#include "app/qt/main_window.h"
#include "tests/app/window_driver.h"
#include "tests/app/window_languages.h"

namespace {

QString qtext(const std::string& utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string utf8(const QString& text) {
    return text.toUtf8().toStdString();
}

Rect rect_of(const QRect& r) {
    return {r.x(), r.y(), r.width(), r.height()};
}

Shot shot_of(QWidget* widget) {
    const QImage image = widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
    Shot shot;
    shot.width = image.width();
    shot.height = image.height();
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) shot.rgb.push_back(image.pixel(x, y) & 0xFFFFFFu);
    return shot;
}

void key_click(QWidget* widget, Key key) {
    // The keys of Key, in its order.
    static const QKeyCombination kKeys[] = {
        Qt::Key_Escape, Qt::Key_Plus,   Qt::KeypadModifier | Qt::Key_Plus,
        Qt::Key_Right,  Qt::Key_0,      Qt::Key_3,
        Qt::Key_Tab,    Qt::Key_Return, Qt::Key_Space};
    const QKeyCombination k = kKeys[static_cast<int>(key)];
    QTest::keyClick(widget, k.key(), k.keyboardModifiers());
}

class QtDriver : public WindowDriver {
   public:
    QtDriver() {
        window_.set_opener([this](const std::string& path) { opened.push_back(path); });
        window_.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window_));
        window_.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&window_));
    }

    MainWindow& window() { return window_; }

    // While a run is going the window does not take the drag: the cursor says so. The drop is
    // made all the same, as a toolkit that skipped the check would make it.
    void drop(const std::vector<std::string>& paths) override {
        QMimeData data;
        QList<QUrl> urls;
        for (const std::string& p : paths)
            urls << QUrl::fromLocalFile(QFile::decodeName(p.c_str()));
        data.setUrls(urls);
        QDragEnterEvent enter(QPoint(300, 300), Qt::CopyAction, &data, Qt::LeftButton,
                              Qt::NoModifier);
        enter.setAccepted(false);
        QApplication::sendEvent(&window_, &enter);
        EXPECT_EQ(enter.isAccepted(), !window_.model().running);
        QDropEvent drop(QPointF(300, 300), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&window_, &drop);
    }

    void open_command_line(const std::vector<std::string>& arguments) override {
        QStringList list;
        for (const std::string& a : arguments) list << QFile::decodeName(a.c_str());
        window_.open_command_line(list);
    }

    void set_text(Control box, const std::string& text) override {
        line(box)->setText(qtext(text));
    }

    void type(Control box, const std::string& keys) override {
        QTest::keyClicks(line(box), qtext(keys));
    }

    void click(Control control) override { QTest::mouseClick(widget(control), Qt::LeftButton); }

    void click_at(int x, int y) override {
        QWidget* under = window_.childAt(x, y);
        QWidget* target = under != nullptr ? under : &window_;
        QTest::mouseClick(target, Qt::LeftButton, Qt::NoModifier,
                          target->mapFrom(&window_, QPoint(x, y)));
    }

    void focus_on(Control control) override {
        if (control == Control::window || control == Control::none) {
            if (QWidget* f = QApplication::focusWidget()) f->clearFocus();
        } else {
            widget(control)->setFocus(Qt::TabFocusReason);
        }
    }

    // To the focused widget, as the window system hands a key to Qt.
    void press(Key key) override {
        QWidget* f = QApplication::focusWidget();
        key_click(f != nullptr ? f : &window_, key);
        pump();
    }

    void resize(int width, int height) override {
        window_.resize(width, height);
        pump();
    }

    void maximize() override {
        window_.showMaximized();
        wait_until([this] { return window_.isMaximized(); }, std::chrono::seconds(5));
        pump();
    }

    std::string accessible_name(Control control) override {
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(widget(control));
        return a != nullptr ? utf8(a->text(QAccessible::Name)) : std::string();
    }

    Control focused() override {
        QWidget* f = QApplication::focusWidget();
        if (f == nullptr) return Control::none;
        for (int c = 0; c < static_cast<int>(Control::none); ++c)
            if (widget(static_cast<Control>(c)) == f) return static_cast<Control>(c);
        return Control::none;
    }

    void close() override { EXPECT_TRUE(window_.close()); }

    void pump() override { QCoreApplication::processEvents(); }

    std::string title() override { return utf8(window_.windowTitle()); }

    std::string text(Control control) override {
        if (control == Control::width_box || control == Control::height_box)
            return utf8(line(control)->text());
        if (auto* button = qobject_cast<QAbstractButton*>(widget(control)))
            return utf8(button->text());
        if (auto* label = qobject_cast<QLabel*>(widget(control))) return utf8(label->text());
        return title();
    }

    Rect place(Control control) override { return rect_of(widget(control)->geometry()); }
    bool enabled(Control control) override { return widget(control)->isEnabled(); }
    bool visible(Control control) override { return widget(control)->isVisible(); }

    bool checked(Control control) override {
        auto* button = qobject_cast<QAbstractButton*>(widget(control));
        return button != nullptr && button->isChecked();
    }

    int bar_position() override { return window_.progress_bar()->value(); }
    Shot shot() override { return shot_of(&window_); }
    void repaint() override { window_.repaint(); }
    bool is_open() override { return window_.isVisible(); }
    const WindowModel& model() override { return window_.model(); }

    void answer_next_message() override {
        message_.clear();
        answered_ = false;
        auto* timer = new QTimer(&window_);  // goes with the window at the latest
        auto tries = std::make_shared<int>(0);
        QObject::connect(timer, &QTimer::timeout, [this, timer, tries] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box != nullptr) {
                message_ = utf8(box->text());
                answered_ = true;
                box->done(QMessageBox::Ok);
            }
            if (box != nullptr || ++*tries > 3000) {
                timer->stop();
                timer->deleteLater();
            }
        });
        timer->start(10);
    }

    std::string answered_message() override {
        wait_until([this] { return answered_; });
        return message_;
    }

    void set_run_function(RunFn run) override { window_.set_run_function(std::move(run)); }

    bool compare_open() override {
        return window_.compare_window() != nullptr && window_.compare_window()->isVisible();
    }

    const CompareView& compare_view() override { return compare()->view(); }
    std::string compare_title() override { return utf8(compare()->windowTitle()); }
    Shot compare_shot() override { return shot_of(compare()); }
    void compare_press(Key key) override { key_click(compare(), key); }

    void compare_mouse(Mouse action, int x, int y) override {
        QWidget* c = compare();
        const QPoint at(x, y);
        switch (action) {
            case Mouse::press:
                return QTest::mousePress(c, Qt::LeftButton, Qt::NoModifier, at);
            case Mouse::move:
                return QTest::mouseMove(c, at);
            case Mouse::release:
                return QTest::mouseRelease(c, Qt::LeftButton, Qt::NoModifier, at);
            case Mouse::double_click:
                return QTest::mouseDClick(c, Qt::LeftButton, Qt::NoModifier, at);
            case Mouse::wheel: {
                QWheelEvent wheel(at, c->mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton,
                                  Qt::NoModifier, Qt::NoScrollPhase, false);
                QApplication::sendEvent(c, &wheel);
            }
        }
    }

    int compare_resize(int width, int height) override {
        compare()->resize(width, height);
        return compare()->width();
    }

    void compare_close() override { compare()->close(); }

    bool save_shot(bool compare_window, const std::string& folder,
                   const std::string& suffix) override {
        QWidget* shown = compare_window ? static_cast<QWidget*>(compare()) : &window_;
        const std::string name = compare_window ? "compare-qt" : "window-qt";
        return shown->grab().save(qtext(folder + "/" + name + suffix + ".png"));
    }

   private:
    QWidget* widget(Control control) {
        // The widgets of Control, in its order.
        QWidget* const widgets[] = {&window_,
                                    window_.go_button(),
                                    window_.width_box(),
                                    window_.height_box(),
                                    window_.bmp_button(),
                                    window_.png_button(),
                                    window_.stop_button(),
                                    window_.progress_bar(),
                                    window_.width_label(),
                                    window_.height_label(),
                                    window_.format_label(),
                                    nullptr};
        return widgets[static_cast<int>(control)];
    }

    QLineEdit* line(Control box) {
        return box == Control::width_box ? window_.width_box() : window_.height_box();
    }

    CompareWindow* compare() {
        CompareWindow* c = window_.compare_window();
        EXPECT_TRUE(c != nullptr && QTest::qWaitForWindowExposed(c));
        return c;
    }

    MainWindow window_;
    std::string message_;
    bool answered_ = false;
};

using QtWindow = WindowScenario;

MainWindow& qt_window(WindowDriver* w) {
    return static_cast<QtDriver*>(w)->window();
}

TEST_F(QtWindow, ClientAreaIs600By480AndTheBoxesAlignRight) {
    MainWindow& window = qt_window(w.get());
    EXPECT_EQ(window.size(), QSize(kWindowWidth, kWindowHeight));
    EXPECT_TRUE(window.width_box()->alignment() & Qt::AlignRight);
    EXPECT_TRUE(window.height_box()->alignment() & Qt::AlignRight);
}

// The title bar and the task bar show the project's icon, the very picture installed.
TEST_F(QtWindow, HasTheProjectsIcon) {
    const QIcon icon = qt_window(w.get()).windowIcon();
    ASSERT_FALSE(icon.isNull());
    const QImage drawn(QString::fromUtf8(ENLARGE3_SOURCE_DIR "/packaging/enlarge3.png"));
    ASSERT_FALSE(drawn.isNull());
    const QImage shown = icon.pixmap(QSize(256, 256)).toImage();
    EXPECT_EQ(shown.size(), drawn.size());
    EXPECT_TRUE(shown.convertToFormat(QImage::Format_ARGB32_Premultiplied) ==
                drawn.convertToFormat(QImage::Format_ARGB32_Premultiplied));
}

TEST_F(QtWindow, AJapaneseFontIsInstalled) {
    QString texts;
    for (const std::string& text : expected_texts("ja")) texts += qtext(text);
    QStringList usable;
    for (const QString& family : QFontDatabase::families(QFontDatabase::Japanese)) {
        QFontMetrics fm{QFont(family)};
        bool all = true;
        for (QChar c : texts)
            if (c.unicode() > 0x7F && !c.isSpace() && !fm.inFont(c)) all = false;
        if (all) usable << family;
    }
    EXPECT_FALSE(usable.isEmpty())
        << "no installed font has the window's Japanese characters: labels would show boxes";
}

}  // namespace

std::unique_ptr<WindowDriver> open_main_window() {
    return std::make_unique<QtDriver>();
}

int main(int argc, char** argv) {
    // No display is needed: the offscreen platform renders into memory, and grab() reads it.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
