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
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <QtTest>

#include "app/qt/main_window.h"
#include "app/resize_run.h"
#include "tests/support/bmp_builder.h"

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

        const QImage shot = w.grab().toImage();
        for (QPoint p : {QPoint(2, 46), QPoint(4, 48), QPoint(300, 300), QPoint(599, 479)})
            QCOMPARE(rgb_at(shot, p.x(), p.y()), QRgb(0xC0C0C0));
        // Both labels are drawn: dark pixels in the band right of each point.
        for (int x0 : {120, 252}) {
            int ink = 0;
            for (int y = 10; y < 30; ++y)
                for (int x = x0; x < x0 + 80; ++x) ink += qGray(shot.pixel(x, y)) < 96;
            QVERIFY2(ink > 20, qPrintable(QString("label at %1 shows no text").arg(x0)));
        }
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
        QCOMPARE(shown, QString("InputFileSizeError!!!"));
        QVERIFY(results_of(path).isEmpty());

        // A size past int's range is read as INT_MAX, which the run refuses with a message.
        const QString good = picture("failed/dog.bmp", 3, 3);
        drop_files(&w, {good});
        QVERIFY(w.go_button()->isEnabled());
        w.width_box()->setText("99999999999999999999");
        shown.clear();
        answer_next_message_box(&shown);
        QTest::mouseClick(w.go_button(), Qt::LeftButton);
        QVERIFY2(shown.contains("2147483647"), qPrintable(shown));
        QVERIFY(results_of(good).isEmpty());
    }
};

QTEST_MAIN(WindowTest)
#include "window_test.moc"
