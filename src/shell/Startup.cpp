#include "shell/Startup.h"

#include <QApplication>
#include <QMainWindow>

namespace keldrin {

int runProgram(QApplication& app) {
    QApplication::setApplicationName(QStringLiteral("Keldrin"));
    QMainWindow w;
    w.setWindowTitle(QStringLiteral("Keldrin==> no command file"));
    w.show();
    return app.exec();
}

}  // namespace keldrin
