// enlarge3-window: the tool as a window. Drop a picture (BMP, PNG or JPEG) on it, type the
// wanted size and press GO; the results appear beside the picture.

#include <QApplication>

#include "app/qt/main_window.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    MainWindow window;
    window.show();
    window.open_command_line(QApplication::arguments());
    return app.exec();
}
