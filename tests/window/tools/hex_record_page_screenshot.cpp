// Renders the "HEX Command CS" page with a split record to the PNG named on the command line.

#include <QApplication>
#include <QLineEdit>
#include <QPixmap>
#include <QWidget>
#include <cstdio>

#include "tools/HexRecordPage.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <picture.png>\n", argv[0]);
        return 2;
    }
    QWidget sheet;
    sheet.resize(880, 480);
    auto* page = new keldrin::HexRecordPage(&sheet);
    page->edHexCommand->setText(QStringLiteral(":0300300002337A"));
    page->BitBtn2Click();
    page->BitBtn3Click();
    sheet.show();
    page->edHexCommand->setFocus();
    QApplication::processEvents();
    return sheet.grab().save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
}
