// tessaly: the windowed application.
#include "app/MainQueueBinding.h"

#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Tessaly");
    tessaly::bindMainQueueToEventLoop(app);
    QMainWindow window;
    window.setWindowTitle("Vellmo");
    window.resize(960, 640);
    window.show();
    return QApplication::exec();
}
