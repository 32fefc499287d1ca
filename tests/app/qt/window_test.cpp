// The Qt window driven as a user drives it: files dropped as URLs, clicks on GO, typing into
// the boxes, and what the window shows read back from grab().

#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <QtTest>
#include <atomic>
#include <chrono>
#include <thread>

#include "app/qt/main_window.h"
#include "app/resize_run.h"
#include "tests/support/bmp_builder.h"
#include "tests/support/jpeg_maker.h"
#include "tests/support/png_builder.h"
#include "tests/support/run_driver.h"
#include "tests/support/temp_dir.h"

// Waits (turning the event loop) until the window's run has ended.
#define WAIT_FOR_RUN(w) QTRY_VERIFY_WITH_TIMEOUT(!(w).model().running, 60000)

namespace {

std::string native(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

void drop_files(MainWindow* w, const QStringList& paths) {
    QMimeData data;
    QList<QUrl> urls;
    for (const QString& p : paths) urls << QUrl::fromLocalFile(p);
    data.setUrls(urls);
    QDragEnterEvent enter(QPoint(300, 300), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(300, 300), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w, &drop);
}

// Closes the next message box as soon as it shows and keeps its text.
void answer_next_message_box(QString* text) {
    auto* timer = new QTimer;
    auto tries = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, [timer, text, tries] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box != nullptr) {
            *text = box->text();
            box->done(QMessageBox::Ok);
        }
        if (box != nullptr || ++*tries > 500) {
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start(10);
}

QRgb rgb_at(const QImage& shot, int x, int y) {
    return shot.pixel(x, y) & 0xFFFFFF;
}

// The run, slowed down by a pause after every unit of work it reports, so that a small
// picture's run lasts long enough to watch.
RunFn slowed_run(int pause_ms) {
    return [pause_ms](const RunRequest& request, RunProgress* progress) {
        progress->observer = [pause_ms](const RunProgress&) {
            std::this_thread::sleep_for(std::chrono::milliseconds(pause_ms));
        };
        return run_request(request, progress);
    };
}

// The run, held inside method `method` after its second unit until a stop is asked for.
RunFn run_held_in(int method) {
    return [method](const RunRequest& request, RunProgress* progress) {
        auto units = std::make_shared<std::atomic<int>>(0);
        progress->observer = [method, units](const RunProgress& p) {
            if (p.method() != method || ++*units < 2) return;
            for (int i = 0; i < 20000 && !p.stop_requested(); ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        };
        return run_request(request, progress);
    };
}

const char* const kSuffixes[kMethodCount] = {"_lanczos3.bmp", "_hybrid.bmp", "_dct.bmp"};

// The result files beside the picture at path, by suffix.
QStringList results_of(const QString& path) {
    QFileInfo info(path);
    QStringList found;
    for (const char* suffix : {"_lanczos3.bmp", "_hybrid.bmp", "_dct.bmp"})
        if (QFile::exists(info.path() + "/" + info.completeBaseName() + suffix)) found << suffix;
    return found;
}

}  // namespace

class WindowTest : public QObject {
    Q_OBJECT

   private:
    QTemporaryDir dir_;

    QString picture(const QString& name, int w, int h) {
        QString path = dir_.path() + "/" + name;
        QDir().mkpath(QFileInfo(path).path());
        if (!write_file(native(path), make_bmp(w, h))) return QString();
        return path;
    }

    // Every pane shows, at the middle of its picture area, the pixel of its own picture that
    // the view puts there; the results all show the same pixel, the source the one it came from.
    void check_panes(CompareWindow* c, const std::vector<TestPicture>& pictures, int panes) {
        const CompareView& v = c->view();
        const std::vector<PaneDraw> draws = compare_draws(v);
        QCOMPARE(static_cast<int>(draws.size()), panes);
        const QImage shot = c->grab().toImage();
        int result_x = -1, result_y = -1;
        for (const PaneDraw& d : draws) {
            const TestPicture& pic = pictures[static_cast<std::size_t>(d.pane)];
            const double mx = d.clip.x + d.clip.width / 2.0, my = d.clip.y + d.clip.height / 2.0;
            const int ix = d.src.x + static_cast<int>((mx - d.dst.x) * d.src.width / d.dst.width);
            const int iy = d.src.y + static_cast<int>((my - d.dst.y) * d.src.height / d.dst.height);
            QVERIFY(ix >= 0 && ix < pic.width && iy >= 0 && iy < pic.height);
            // The middle of that pixel's block on screen.
            const int sx =
                static_cast<int>(d.dst.x + (ix - d.src.x + 0.5) * d.dst.width / d.src.width);
            const int sy =
                static_cast<int>(d.dst.y + (iy - d.src.y + 0.5) * d.dst.height / d.src.height);
            const Rgb want = pic.at(ix, iy);
            QCOMPARE(rgb_at(shot, sx, sy), qRgb(want.r, want.g, want.b) & 0xFFFFFFu);
            if (d.pane == 0) continue;
            if (result_x < 0) {
                result_x = ix;
                result_y = iy;
            }
            QCOMPARE(ix, result_x);
            QCOMPARE(iy, result_y);
        }
    }

   private slots:
    void initTestCase() { QVERIFY(dir_.isValid()); }

    void start_state() {
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCOMPARE(w.windowTitle(),
                 QString::fromUtf8("ころぽんの画像拡大!３種類から選んでね Ver1.00"));
        QCOMPARE(w.size(), QSize(600, 480));
        QCOMPARE(w.go_button()->text(), QString::fromUtf8("　ＧＯ　"));
        QCOMPARE(w.go_button()->geometry(), QRect(8, 8, 96, 32));
        QCOMPARE(w.width_box()->geometry(), QRect(204, 8, 38, 22));
        QCOMPARE(w.height_box()->geometry(), QRect(338, 8, 38, 22));
        QCOMPARE(w.width_box()->text(), QString("0"));
        QCOMPARE(w.height_box()->text(), QString("0"));
        QVERIFY(w.width_box()->alignment() & Qt::AlignRight);
        QVERIFY(w.height_box()->alignment() & Qt::AlignRight);
        QVERIFY(!w.go_button()->isEnabled());
        QVERIFY(w.width_box()->isEnabled());
        QCOMPARE(w.bmp_button()->geometry(), QRect(204, 31, 60, 16));
        QCOMPARE(w.png_button()->geometry(), QRect(268, 31, 60, 16));
        QCOMPARE(w.bmp_button()->text(), QString("BMP"));
        QVERIFY(w.bmp_button()->isChecked());
        QVERIFY(!w.png_button()->isChecked());

        const QImage shot = w.grab().toImage();
        for (QPoint p : {QPoint(2, 46), QPoint(4, 48), QPoint(300, 300), QPoint(599, 479)})
            QCOMPARE(rgb_at(shot, p.x(), p.y()), QRgb(0xC0C0C0));
        // The labels are drawn: dark pixels in the band right of each point.
        for (QPoint at : {QPoint(120, 10), QPoint(252, 10), QPoint(120, 32)}) {
            const int x0 = at.x();
            int ink = 0;
            for (int y = at.y(); y < at.y() + 15; ++y)
                for (int x = x0; x < x0 + 80; ++x) ink += qGray(shot.pixel(x, y)) < 96;
            QVERIFY2(ink > 20, qPrintable(QString("label at %1 shows no text").arg(x0)));
        }
    }

    // The title bar and the task bar show the project's icon, the very picture installed.
    void window_has_the_projects_icon() {
        MainWindow w;
        const QImage icon = w.windowIcon().pixmap(QSize(256, 256)).toImage();
        const QImage drawn(QString::fromUtf8(ENLARGE3_SOURCE_DIR "/packaging/enlarge3.png"));
        QVERIFY(!drawn.isNull());
        QVERIFY2(!w.windowIcon().isNull(), "no icon");
        QCOMPARE(icon.size(), drawn.size());
        QCOMPARE(icon.convertToFormat(QImage::Format_ARGB32_Premultiplied),
                 drawn.convertToFormat(QImage::Format_ARGB32_Premultiplied));
    }

    void japanese_font_is_installed() {
        const QString texts =
            QString::fromUtf8(kWindowTitle) + QString::fromUtf8(kWidthLabel.text) +
            QString::fromUtf8(kHeightLabel.text) + QString::fromUtf8(kGoButton.text);
        QStringList usable;
        for (const QString& family : QFontDatabase::families(QFontDatabase::Japanese)) {
            QFontMetrics fm{QFont(family)};
            bool all = true;
            for (QChar c : texts)
                if (c.unicode() > 0x7F && !c.isSpace() && !fm.inFont(c)) all = false;
            if (all) usable << family;
        }
        QVERIFY2(!usable.isEmpty(),
                 "no installed font has the window's Japanese characters: labels would show boxes");
    }

    void drop_shows_the_picture_unscaled_and_fills_the_boxes() {
        const QString path = picture("drop/cat.bmp", 7, 5);
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        drop_files(&w, {path});
        QCOMPARE(w.width_box()->text(), QString("7"));
        QCOMPARE(w.height_box()->text(), QString("5"));
        QVERIFY(w.go_button()->isEnabled());
        const QImage shot = w.grab().toImage();
        for (int t = 0; t < 5; ++t)
            for (int x = 0; x < 7; ++x)
                QCOMPARE(rgb_at(shot, 4 + x, 48 + t), QRgb(test_pixel_rgb(x, t)));
        QCOMPARE(rgb_at(shot, 3, 48), QRgb(0xC0C0C0));
        QCOMPARE(rgb_at(shot, 4 + 7, 48), QRgb(0xC0C0C0));
        QCOMPARE(rgb_at(shot, 4, 48 + 5), QRgb(0xC0C0C0));
        const QByteArray shots = qgetenv("ENLARGE3_SCREENSHOT_DIR");
        if (!shots.isEmpty()) {
            // A picture to look at, for the documentation.
            const QString photo = dir_.path() + "/drop/photo.bmp";
            QVERIFY(write_file(native(photo), encode_bmp(demo_picture(320, 200))));
            drop_files(&w, {photo});
            QVERIFY(w.grab().save(QString::fromLocal8Bit(shots) + "/window-qt.png"));
        }
    }

    // "Open with" and enlarge3-window PICTURE: the picture is taken as if dropped; one that
    // cannot be read leaves the window empty, as after a refused drop.
    void a_picture_on_the_command_line_is_taken_as_if_dropped() {
        const QString path = picture("command line/猫.bmp", 7, 5);
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.open_command_line({"enlarge3-window", path, dir_.path() + "/ignored.bmp"});
        QCOMPARE(w.width_box()->text(), QString("7"));
        QCOMPARE(w.height_box()->text(), QString("5"));
        QVERIFY(w.go_button()->isEnabled());
        QCOMPARE(w.model().accepted_path, native(path));
        const QImage shot = w.grab().toImage();
        QCOMPARE(rgb_at(shot, 4 + 6, 48 + 4), QRgb(test_pixel_rgb(6, 4)));
        QTest::mouseClick(w.go_button(), Qt::LeftButton);
        WAIT_FOR_RUN(w);
        QVERIFY(results_of(path).contains("_lanczos3.bmp"));

        for (const QStringList& args :
             {QStringList{"enlarge3-window", dir_.path() + "/missing.bmp"},
              QStringList{"enlarge3-window", dir_.path()}, QStringList{"enlarge3-window"}}) {
            MainWindow empty;
            empty.show();
            QVERIFY(QTest::qWaitForWindowExposed(&empty));
            empty.open_command_line(args);
            QCOMPARE(empty.width_box()->text(), QString("0"));
            QCOMPARE(empty.height_box()->text(), QString("0"));
            QVERIFY(!empty.go_button()->isEnabled());
            QVERIFY(!empty.model().picture_held);
            QCOMPARE(rgb_at(empty.grab().toImage(), 4, 48), QRgb(0xC0C0C0));
        }
    }

    void png_and_jpeg_are_taken_shown_run_and_compared() {
        // A PNG with transparency: the left column clear, the rest opaque.
        const TestPicture pic = random_picture(6, 4, 21);
        PngLayout layout;
        layout.width = 6;
        layout.height = 4;
        layout.colour_type = 6;
        for (std::size_t i = 0; i < pic.pixels.size(); ++i)
            layout.samples.insert(layout.samples.end(),
                                {pic.pixels[i].r, pic.pixels[i].g, pic.pixels[i].b,
                                 std::uint16_t(i % 6 ? 255 : 0)});
        const QString png = dir_.path() + "/kinds/shot.png";
        const QString jpeg = dir_.path() + "/kinds/photo.jpg";
        QDir().mkpath(dir_.path() + "/kinds");
        QVERIFY(write_file(native(png), encode_png_file(layout)));
        const std::vector<std::uint8_t> jpeg_bytes = make_jpeg(pic, JpegLayout{});
        QVERIFY(write_file(native(jpeg), jpeg_bytes));

        MainWindow w;
        w.set_opener([](const std::string&) {});
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        drop_files(&w, {png});
        QCOMPARE(w.width_box()->text(), QString("6"));
        QVERIFY(w.go_button()->isEnabled());
        QVERIFY(w.png_button()->isChecked());
        QImage shot = w.grab().toImage();
        for (int t = 0; t < 4; ++t)
            for (int x = 0; x < 6; ++x) {
                const Rgb c = pic.at(x, t);
                QCOMPARE(rgb_at(shot, 4 + x, 48 + t),
                         x == 0 ? QRgb(0xC0C0C0) : qRgb(c.r, c.g, c.b) & 0xFFFFFFu);
            }
        w.width_box()->setText("12");
        w.height_box()->setText("8");
        QTest::mouseClick(w.go_button(), Qt::LeftButton);
        WAIT_FOR_RUN(w);
        for (const char* name : {"shot_lanczos3.png", "shot_hybrid.png", "shot_dct.png"})
            QVERIFY2(QFile::exists(dir_.path() + "/kinds/" + name), name);
        CompareWindow* c = w.compare_window();
        QVERIFY(c != nullptr);
        QCOMPARE(static_cast<int>(c->view().contents.panes.size()), 4);
        for (int i = 0; i < 4; ++i) {
            QVERIFY(!c->pane_image(i).isNull());
            QCOMPARE(c->pane_image(i).width(), i == 0 ? 6 : 12);
        }

        // The JPEG, its results asked for as BMP.
        drop_files(&w, {jpeg});
        QVERIFY(w.png_button()->isChecked());
        shot = w.grab().toImage();
        const TestPicture decoded = plain_jpeg_samples(jpeg_bytes);
        for (int t = 0; t < 4; ++t)
            for (int x = 0; x < 6; ++x) {
                const Rgb want = decoded.at(x, t);
                QCOMPARE(rgb_at(shot, 4 + x, 48 + t), qRgb(want.r, want.g, want.b) & 0xFFFFFFu);
            }
        QTest::mouseClick(w.bmp_button(), Qt::LeftButton);
        QVERIFY(w.bmp_button()->isChecked());
        QCOMPARE(w.model().result_format, ResultFormat::bmp);
        QTest::mouseClick(w.go_button(), Qt::LeftButton);
        WAIT_FOR_RUN(w);
        for (const char* name : {"photo_lanczos3.bmp", "photo_hybrid.bmp", "photo_dct.bmp"})
            QVERIFY2(QFile::exists(dir_.path() + "/kinds/" + name), name);
        QVERIFY(!QFile::exists(dir_.path() + "/kinds/photo_lanczos3.png"));
    }

    void large_picture_is_clipped_not_scaled() {
        const QString path = picture("large/big.bmp", 700, 500);
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        drop_files(&w, {path});
        const QImage shot = w.grab().toImage();
        QCOMPARE(rgb_at(shot, 599, 479), QRgb(test_pixel_rgb(595, 431)));
        QCOMPARE(rgb_at(shot, 300, 200), QRgb(test_pixel_rgb(296, 152)));
    }

    void only_the_first_of_several_files_is_loaded() {
        const QString a = picture("several/a.bmp", 3, 2);
        const QString b = picture("several/b.bmp", 9, 8);
        MainWindow w;
        drop_files(&w, {a, b});
        QCOMPARE(w.model().accepted_path, native(a));
        QCOMPARE(w.width_box()->text(), QString("3"));
    }

    void go_writes_every_result_like_the_run_and_then_disables_itself() {
        const QString path = picture("go/cat.bmp", 6, 4);
        const QString reference = picture("go-reference/cat.bmp", 6, 4);
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        drop_files(&w, {path});
        QTest::mouseClick(w.go_button(), Qt::LeftButton);
        QVERIFY(!w.go_button()->isEnabled());
        WAIT_FOR_RUN(w);
        QVERIFY(!w.go_button()->isEnabled());
        QCOMPARE(w.progress_bar()->value(), kProgressSteps);

        // GO is the run at the boxes' sizes: the same files, byte for byte.
        QVERIFY(resize_run(native(reference), 6, 4).ok());
        const QStringList expected = results_of(reference);
        QVERIFY(expected.contains("_lanczos3.bmp"));
        QCOMPARE(results_of(path), expected);
        for (const QString& suffix : expected)
            QCOMPARE(read_file(native(dir_.path() + "/go/cat" + suffix)),
                     read_file(native(dir_.path() + "/go-reference/cat" + suffix)));

        // Clicks on the disabled button start nothing.
        QFile::remove(dir_.path() + "/go/cat_lanczos3.bmp");
        QTest::mouseClick(w.go_button(), Qt::LeftButton);
        QVERIFY(!w.model().running);
        QVERIFY(!QFile::exists(dir_.path() + "/go/cat_lanczos3.bmp"));
        drop_files(&w, {path});
        QVERIFY(w.go_button()->isEnabled());
    }

    void boxes_take_digits_only_and_go_uses_them() {
        const QString path = picture("typed/cat.bmp", 4, 3);
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        drop_files(&w, {path});
        w.width_box()->clear();
        QTest::keyClicks(w.width_box(), "1a-2 x");
        QCOMPARE(w.width_box()->text(), QString("12"));
        w.height_box()->clear();
        QTest::keyClicks(w.height_box(), "+9.");
        QCOMPARE(w.height_box()->text(), QString("9"));
        QTest::mouseClick(w.go_button(), Qt::LeftButton);
        WAIT_FOR_RUN(w);
        const std::vector<unsigned char> result =
            read_file(native(dir_.path() + "/typed/cat_lanczos3.bmp"));
        QVERIFY(result.size() >= 54);
        QCOMPARE(int(result[18]), 12);
        QCOMPARE(int(result[22]), 9);
    }

    void non_ascii_and_long_paths_work() {
        QString long_dir =
            QString::fromUtf8("長い名前/") + QString(100, 'a') + "/" + QString(100, 'b');
        const QString path = picture(long_dir + QString::fromUtf8("/写真 ①.bmp"), 5, 2);
        QVERIFY(!path.isEmpty());
        QVERIFY(native(path).size() > 255);
        MainWindow w;
        drop_files(&w, {path});
        QVERIFY(w.model().picture_held);
        QTest::mouseClick(w.go_button(), Qt::LeftButton);
        WAIT_FOR_RUN(w);
        QVERIFY(results_of(path).contains("_lanczos3.bmp"));
    }

    void refused_drop_keeps_go_on_the_accepted_picture() {
        const QString cat = picture("refused/cat.bmp", 5, 3);
        const QString eight = dir_.path() + "/refused/eight.bmp";
        std::vector<unsigned char> bytes = make_bmp(4, 4);
        put_le16(bytes, 28, 8);
        QVERIFY(write_file(native(eight), bytes));
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        drop_files(&w, {cat});
        w.width_box()->setText("8");
        drop_files(&w, {eight});
        QCOMPARE(w.width_box()->text(), QString("5"));
        QCOMPARE(w.height_box()->text(), QString("3"));
        QVERIFY(w.go_button()->isEnabled());
        QCOMPARE(rgb_at(w.grab().toImage(), 4, 48), QRgb(0xC0C0C0));
        QTest::mouseClick(w.go_button(), Qt::LeftButton);
        WAIT_FOR_RUN(w);
        QVERIFY(results_of(cat).contains("_lanczos3.bmp"));
        QVERIFY(results_of(eight).isEmpty());
    }

    void failed_run_shows_its_message_and_the_window_stays_usable() {
        const QString path = picture("failed/cat.bmp", 5, 3);
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        drop_files(&w, {path});
        // The file shrinks on disk after the drop: the run finds it short.
        std::vector<unsigned char> bytes = read_file(native(path));
        bytes.pop_back();
        QVERIFY(write_file(native(path), bytes));
        QString shown;
        answer_next_message_box(&shown);
        QTest::mouseClick(w.go_button(), Qt::LeftButton);
        QTRY_COMPARE(shown, QString("InputFileSizeError!!!"));
        WAIT_FOR_RUN(w);
        QCOMPARE(w.model().progress_text, std::string("失敗"));
        QVERIFY(results_of(path).isEmpty());

        // A size past int's range is read as INT_MAX, which the run refuses with a message.
        const QString good = picture("failed/dog.bmp", 3, 3);
        drop_files(&w, {good});
        QVERIFY(w.go_button()->isEnabled());
        w.width_box()->setText("99999999999999999999");
        shown.clear();
        answer_next_message_box(&shown);
        QTest::mouseClick(w.go_button(), Qt::LeftButton);
        QTRY_VERIFY2(shown.contains("2147483647"), qPrintable(shown));
        QVERIFY(results_of(good).isEmpty());
    }

    void run_reports_progress_while_the_event_loop_turns() {
        const QString path = picture("progress/cat.bmp", 40, 30);
        MainWindow w;
        w.set_run_function(slowed_run(12));
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        drop_files(&w, {path});
        w.width_box()->setText("200");
        w.height_box()->setText("150");
        QVERIFY(!w.progress_bar()->isVisible());
        QVERIFY(!w.stop_button()->isVisible());
        QTest::mouseClick(w.go_button(), Qt::LeftButton);
        QVERIFY(w.model().running);
        QVERIFY(w.progress_bar()->isVisible());
        QVERIFY(w.stop_button()->isVisible());
        QVERIFY(!w.go_button()->isEnabled());
        // Control row: the bar, its text and the stop button cover nothing of the original.
        const QRect bar = w.progress_bar()->geometry(), stop = w.stop_button()->geometry();
        for (const QRect& r : {bar, stop}) {
            QVERIFY(!r.intersects(w.go_button()->geometry()));
            QVERIFY(!r.intersects(w.width_box()->geometry()));
            QVERIFY(!r.intersects(w.height_box()->geometry()));
            QVERIFY(r.left() > w.height_box()->geometry().right());
            QVERIFY(r.bottom() < 48);
        }
        std::vector<int> values;
        QStringList texts;
        int turns = 0;
        QElapsedTimer clock;
        clock.start();
        while (w.model().running && clock.elapsed() < 60000) {
            QTest::qWait(10);
            ++turns;
            values.push_back(w.progress_bar()->value());
            texts << QString::fromStdString(w.model().progress_text);
            if (turns == 20) {
                // The window repaints meanwhile: the text is drawn right of the boxes.
                const QImage shot = w.grab().toImage();
                int ink = 0;
                for (int y = kProgressText.y; y < kProgressText.y + kProgressText.height; ++y)
                    for (int x = kProgressText.x; x < kProgressText.x + 60; ++x)
                        ink += qGray(shot.pixel(x, y)) < 96;
                QVERIFY2(ink > 10, "no progress text drawn during the run");
            }
        }
        QVERIFY(!w.model().running);
        int distinct = 0;
        for (std::size_t i = 1; i < values.size(); ++i) {
            QVERIFY2(values[i] >= values[i - 1], "the bar moved back");
            distinct += values[i] > values[i - 1];
        }
        QVERIFY2(distinct >= 20, qPrintable(QString("%1 updates").arg(distinct)));
        for (const char* title : kMethodTitles)
            QVERIFY2(
                !texts.filter(QRegularExpression(QString("^") + title + " [0-9]+%$")).isEmpty(),
                title);
        QCOMPARE(w.model().progress_text, std::string("完了"));
        QCOMPARE(w.progress_bar()->value(), kProgressSteps);
        QVERIFY(!w.stop_button()->isVisible());
        QVERIFY(!w.go_button()->isEnabled());
    }

    void stop_during_each_method_leaves_no_file_of_it_data() {
        QTest::addColumn<int>("method");
        for (int m = 0; m < kMethodCount; ++m) QTest::newRow(method_name(m)) << m;
    }

    void stop_during_each_method_leaves_no_file_of_it() {
        QFETCH(int, method);
        const QString folder = QString("stop%1").arg(method);
        const QString path = picture(folder + "/cat.bmp", 40, 30);
        const QString reference = picture(folder + "-reference/cat.bmp", 40, 30);
        QVERIFY(resize_run(native(reference), 200, 150).ok());
        MainWindow w;
        w.set_run_function(run_held_in(method));
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        drop_files(&w, {path});
        w.width_box()->setText("200");
        w.height_box()->setText("150");
        QTest::mouseClick(w.go_button(), Qt::LeftButton);
        QTRY_VERIFY(w.model().progress_text.rfind(kMethodTitles[method], 0) == 0);
        if (method == 1) {
            QTest::mouseClick(w.stop_button(), Qt::LeftButton);
        } else {
            // Esc reaches the window from a focused box, and twice is no worse than once.
            w.width_box()->setFocus();
            QTest::keyClick(w.width_box(), Qt::Key_Escape);
            QTest::keyClick(w.width_box(), Qt::Key_Escape);
        }
        WAIT_FOR_RUN(w);
        QCOMPARE(w.model().progress_text, std::string("中止"));
        QVERIFY(w.go_button()->isEnabled());
        QVERIFY(!w.stop_button()->isVisible());
        std::vector<std::string> expected = {"cat.bmp"};
        for (int m = 0; m < method; ++m) {
            expected.push_back(std::string("cat") + kSuffixes[m]);
            QCOMPARE(read_file(native(dir_.path() + "/" + folder + "/" + expected.back().c_str())),
                     read_file(native(dir_.path() + "/" + folder + "-reference/" +
                                      expected.back().c_str())));
        }
        std::sort(expected.begin(), expected.end());
        QCOMPARE(files_in(native(dir_.path() + "/" + folder)), expected);
        if (method == 0) {
            QVERIFY(w.compare_window() == nullptr);
        } else {
            QVERIFY(w.compare_window() != nullptr);
            QCOMPARE(w.compare_window()->view().contents.panes.size(),
                     static_cast<std::size_t>(method + 1));
        }
        // GO again runs the same picture to its end, and the results are the run's.
        w.set_run_function(run_request);
        QTest::mouseClick(w.go_button(), Qt::LeftButton);
        WAIT_FOR_RUN(w);
        QCOMPARE(w.model().progress_text, std::string("完了"));
        for (const char* suffix : kSuffixes)
            QCOMPARE(read_file(native(dir_.path() + "/" + folder + "/cat" + suffix)),
                     read_file(native(dir_.path() + "/" + folder + "-reference/cat" + suffix)));
        QCOMPARE(w.compare_window()->view().contents.panes.size(), std::size_t(4));
    }

    void escape_without_a_run_and_go_twice_start_nothing_extra() {
        const QString path = picture("twice/cat.bmp", 6, 5);
        MainWindow w;
        auto runs = std::make_shared<int>(0);
        w.set_run_function([runs](const RunRequest& r, RunProgress* p) {
            ++*runs;
            return run_request(r, p);
        });
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTest::keyClick(&w, Qt::Key_Escape);
        drop_files(&w, {path});
        QTest::keyClick(w.height_box(), Qt::Key_Escape);
        QVERIFY(!w.model().running);
        QVERIFY(w.go_button()->isEnabled());
        QTest::mouseClick(w.go_button(), Qt::LeftButton);
        QTest::mouseClick(w.go_button(), Qt::LeftButton);
        WAIT_FOR_RUN(w);
        QTest::qWait(50);
        QCOMPARE(*runs, 1);
        QCOMPARE(w.model().progress_text, std::string("完了"));
    }

    void drop_during_a_run_is_refused() {
        const QString path = picture("busy/cat.bmp", 40, 30);
        const QString other = picture("busy/dog.bmp", 9, 7);
        MainWindow w;
        w.set_run_function(run_held_in(0));
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        drop_files(&w, {path});
        w.width_box()->setText("200");
        w.height_box()->setText("150");
        QTest::mouseClick(w.go_button(), Qt::LeftButton);
        QTRY_VERIFY(w.model().progress_text.rfind("Lanczos3", 0) == 0);
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(other)});
        QDragEnterEvent enter(QPoint(300, 300), Qt::CopyAction, &data, Qt::LeftButton,
                              Qt::NoModifier);
        enter.setAccepted(false);
        QApplication::sendEvent(&w, &enter);
        QVERIFY(!enter.isAccepted());
        QDropEvent drop(QPointF(300, 300), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&w, &drop);
        QCOMPARE(w.model().accepted_path, native(path));
        QCOMPARE(w.width_box()->text(), QString("200"));
        QVERIFY(w.model().running);
        QTest::keyClick(&w, Qt::Key_Escape);
        WAIT_FOR_RUN(w);
        QCOMPARE(w.model().accepted_path, native(path));
    }

    void closing_during_a_run_stops_it_within_a_second() {
        const QString path = picture("close/cat.bmp", 40, 30);
        MainWindow w;
        w.set_run_function(run_held_in(2));
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        drop_files(&w, {path});
        w.width_box()->setText("200");
        w.height_box()->setText("150");
        QTest::mouseClick(w.go_button(), Qt::LeftButton);
        QTRY_VERIFY(w.model().progress_text.rfind("DCT", 0) == 0);
        QElapsedTimer clock;
        clock.start();
        QVERIFY(w.close());
        QVERIFY2(clock.elapsed() < 1000, qPrintable(QString("%1 ms").arg(clock.elapsed())));
        QVERIFY(!w.isVisible());
        // The finished methods' files are whole; of the stopped one nothing, not even a
        // temporary file.
        QCOMPARE(files_in(native(dir_.path() + "/close")),
                 (std::vector<std::string>{"cat.bmp", "cat_hybrid.bmp", "cat_lanczos3.bmp"}));
    }

    void a_vanished_picture_and_an_unwritable_folder_say_why() {
        const QString gone = picture("vanished/cat.bmp", 5, 4);
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        drop_files(&w, {gone});
        QVERIFY(QFile::remove(gone));
        QString shown;
        answer_next_message_box(&shown);
        QTest::mouseClick(w.go_button(), Qt::LeftButton);
        WAIT_FOR_RUN(w);
        QTRY_VERIFY(!shown.isEmpty());
        QVERIFY2(shown.contains("cat.bmp"), qPrintable(shown));
        QCOMPARE(w.model().progress_text, std::string("失敗"));
        QVERIFY(w.compare_window() == nullptr);

        // Every result name taken by a folder: nothing can be written there.
        const QString path = picture("unwritable/cat.bmp", 5, 4);
        for (const char* suffix : kSuffixes)
            QVERIFY(QDir().mkpath(dir_.path() + "/unwritable/cat" + suffix));
        drop_files(&w, {path});
        shown.clear();
        answer_next_message_box(&shown);
        QTest::mouseClick(w.go_button(), Qt::LeftButton);
        WAIT_FOR_RUN(w);
        QTRY_VERIFY(!shown.isEmpty());
        QCOMPARE(shown.count("cannot write"), 3);
        QCOMPARE(w.model().progress_text, std::string("失敗"));
        QVERIFY(w.compare_window() == nullptr);
        QCOMPARE(files_in(native(dir_.path() + "/unwritable")),
                 (std::vector<std::string>{"cat.bmp", "cat_dct.bmp", "cat_hybrid.bmp",
                                           "cat_lanczos3.bmp"}));
    }

    void a_one_pixel_picture_runs_and_compares() {
        const QString path = picture("one/dot.bmp", 1, 1);
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        drop_files(&w, {path});
        w.width_box()->setText("3");
        w.height_box()->setText("3");
        QTest::mouseClick(w.go_button(), Qt::LeftButton);
        WAIT_FOR_RUN(w);
        QCOMPARE(w.model().progress_text, std::string("完了"));
        QVERIFY(w.compare_window() != nullptr);
        QCOMPARE(w.compare_window()->view().contents.panes.size(), std::size_t(4));
        QCOMPARE(compare_draws(w.compare_window()->view()).size(), std::size_t(4));
        QVERIFY(!w.compare_window()->grab().isNull());
    }

    void compare_window_shows_every_result_in_step() {
        const QString path = picture("compare/cat.bmp", 40, 30);
        MainWindow w;
        std::vector<std::string> opened;
        w.set_opener([&opened](const std::string& p) { opened.push_back(p); });
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        drop_files(&w, {path});
        w.width_box()->setText("160");
        w.height_box()->setText("120");
        QTest::mouseClick(w.go_button(), Qt::LeftButton);
        WAIT_FOR_RUN(w);
        CompareWindow* c = w.compare_window();
        QVERIFY(c != nullptr);
        QVERIFY(QTest::qWaitForWindowExposed(c));
        QCOMPARE(c->windowTitle(), QString::fromUtf8("比較 - cat.bmp"));
        const CompareView& v = c->view();
        QCOMPARE(v.contents.panes.size(), std::size_t(4));
        QCOMPARE(v.contents.panes[0].label, std::string("元画像 - cat.bmp"));
        for (int m = 0; m < kMethodCount; ++m)
            QCOMPARE(v.contents.panes[static_cast<std::size_t>(m + 1)].label,
                     std::string(kMethodTitles[m]) + " - cat" + kSuffixes[m]);
        std::vector<TestPicture> pictures = {pattern_picture(40, 30)};
        for (const char* suffix : kSuffixes)
            pictures.push_back(
                decode_result_bmp(read_file(native(dir_.path() + "/compare/cat" + suffix))));
        check_panes(c, pictures, 4);
        if (QTest::currentTestFailed()) return;

        // Zoom with the keys and the wheel, move with a drag and the arrows: all in step.
        QTest::keyClick(c, Qt::Key_Plus);
        QTest::keyClick(c, Qt::Key_Plus);
        const double scale = compare_scale(v);
        QVERIFY(scale > 2.5);
        const PaneLayout second = compare_layout(v)[1];
        const QPoint at(second.picture.x + 40, second.picture.y + 30);
        QWheelEvent wheel(at, c->mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(c, &wheel);
        QVERIFY(compare_scale(v) > scale);
        const double before_x = v.center_x;
        QTest::mousePress(c, Qt::LeftButton, Qt::NoModifier, at);
        QTest::mouseMove(c, at + QPoint(-30, -20));
        QTest::mouseRelease(c, Qt::LeftButton, Qt::NoModifier, at + QPoint(-30, -20));
        QVERIFY(v.center_x > before_x);
        QTest::keyClick(c, Qt::Key_Right);
        check_panes(c, pictures, 4);
        if (QTest::currentTestFailed()) return;

        // Key 3 shows the Hybrid alone over the whole window; 0 all four again.
        QTest::keyClick(c, Qt::Key_3);
        QCOMPARE(compare_layout(v).size(), std::size_t(1));
        QCOMPARE(compare_layout(v)[0].pane, 2);
        check_panes(c, pictures, 1);
        if (QTest::currentTestFailed()) return;
        QTest::keyClick(c, Qt::Key_0);
        QCOMPARE(compare_layout(v).size(), std::size_t(4));

        // A double-click on a pane, or its open button, opens that file in the viewer.
        const PaneLayout hybrid = compare_layout(v)[2];
        QTest::mouseDClick(c, Qt::LeftButton, Qt::NoModifier,
                           QPoint(hybrid.picture.x + 5, hybrid.picture.y + 5));
        const PaneLayout first = compare_layout(v)[1];
        QTest::mouseClick(c, Qt::LeftButton, Qt::NoModifier,
                          QPoint(first.open_button.x + 3, first.open_button.y + 3));
        QCOMPARE(opened.size(), std::size_t(2));
        QCOMPARE(opened[0], native(dir_.path() + "/compare/cat_hybrid.bmp"));
        QCOMPARE(opened[1], native(dir_.path() + "/compare/cat_lanczos3.bmp"));

        // The window can be resized and closed at any time.
        c->resize(500, 300);
        QCOMPARE(v.client_width, 500);
        c->close();
        QVERIFY(!c->isVisible());
    }

    // Pictures of the window during a run and of the compare window, for the documentation,
    // when ENLARGE3_SCREENSHOT_DIR names a folder; not a check.
    void screenshots() {
        const QByteArray shots = qgetenv("ENLARGE3_SCREENSHOT_DIR");
        if (shots.isEmpty()) QSKIP("ENLARGE3_SCREENSHOT_DIR not set");
        const QString folder = QString::fromLocal8Bit(shots);
        const QString photo = dir_.path() + "/shots/photo.bmp";
        QDir().mkpath(dir_.path() + "/shots");
        QVERIFY(write_file(native(photo), encode_bmp(demo_picture(320, 200))));
        auto release = std::make_shared<std::atomic<bool>>(false);
        MainWindow w;
        w.set_run_function([release](const RunRequest& request, RunProgress* progress) {
            auto units = std::make_shared<std::atomic<int>>(0);
            progress->observer = [release, units](const RunProgress& p) {
                if (p.method() != 2 || ++*units < 400) return;
                while (!*release && !p.stop_requested())
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
            };
            return run_request(request, progress);
        });
        w.set_opener([](const std::string&) {});
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        drop_files(&w, {photo});
        w.width_box()->setText("960");
        w.height_box()->setText("600");
        QTest::mouseClick(w.go_button(), Qt::LeftButton);
        QTRY_VERIFY(w.model().progress_text.rfind("DCT", 0) == 0 && w.model().progress_steps > 400);
        QTest::qWait(100);
        QVERIFY(w.grab().save(folder + "/window-qt-run.png"));
        *release = true;
        WAIT_FOR_RUN(w);
        CompareWindow* c = w.compare_window();
        QVERIFY(c != nullptr);
        c->resize(1000, 660);
        QVERIFY(QTest::qWaitForWindowExposed(c));
        // Near the hills' edge against the sky, two steps in: where the methods differ.
        const PaneLayout p = compare_layout(c->view())[1];
        const CompareView& v = c->view();
        const double s = compare_scale(v);
        const QPoint at(
            static_cast<int>(p.picture.x + p.picture.width / 2.0 + (300 - v.center_x) * s),
            static_cast<int>(p.picture.y + p.picture.height / 2.0 + (330 - v.center_y) * s));
        QWheelEvent wheel(at, c->mapToGlobal(at), QPoint(), QPoint(0, 240), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(c, &wheel);
        QVERIFY(c->grab().save(folder + "/compare-qt.png"));
    }
};

QTEST_MAIN(WindowTest)
#include "window_test.moc"
