// Renders the command table while it is edited into PNG files (docs/screenshots): the Type list
// open, the file picker open, the table after a run against keldrin-devsim, and the popup menu.

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <cstdio>

#include "SimClient.h"
#include "platform/FakeSeams.h"
#include "platform/Seams.h"
#include "runner/CommandTable.h"
#include "serial/SioComPort.h"
#include "shell/Application.h"
#include "shell/TableEditing.h"
#include "shell/TfrmMain.h"
#include "widgets/FilenameEdit.h"

using namespace keldrin;

namespace {

QPoint cellCentre(TfrmMain& w, int column, int row) {
    const QModelIndex index = w.StringGrid1->model()->index(row - 1, column);
    w.StringGrid1->scrollTo(index);
    return w.StringGrid1->visualRect(index).center();
}

void click(TfrmMain& w, int column, int row) {
    QTest::mouseClick(w.StringGrid1->viewport(), Qt::LeftButton, {}, cellCentre(w, column, row));
}

// The window with a popup painted where it stands on the screen.
QPixmap withPopup(TfrmMain& w, QWidget* popup) {
    QPixmap shot = w.grab();
    QPainter painter(&shot);
    painter.drawPixmap(popup->mapToGlobal(QPoint(0, 0)) - w.mapToGlobal(QPoint(0, 0)),
                       popup->grab());
    return shot;
}

}  // namespace

int main(int argc, char** argv) {
    Application app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(out);
    platform::FakeSeams seams;
    QTemporaryDir home;
    platform::setProgramFolder(home.path());
    qputenv("KELDRIN_PORTS", home.filePath("Keldrin.ports").toLocal8Bit());
    for (const char* f : {"board.cmd", "board.hex", "board.chk"})
        QFile::copy(QString(EXAMPLES_DIR "/") + f, home.filePath(f));

    bool ok = true;
    auto waitFor = [&](auto condition) { ok &= QTest::qWaitFor(condition, 2000); };
    auto save = [&](const QPixmap& shot, const char* name) {
        const bool written = shot.save(out + QLatin1Char('/') + name + QStringLiteral(".png"));
        std::printf("%s %s\n", written ? "wrote" : "FAILED", name);
        ok &= written;
    };

    TfrmMain w({QStringLiteral("keldrin")});
    w.show();
    w.mnuAdvancedModeClick();
    w.activateWindow();
    if (!QTest::qWaitForWindowActive(&w)) std::printf("window not active\n");
    seams.dialogs->answers.push_back(home.filePath("board.cmd"));
    w.SpeedButtonLoad->click();
    w.SpeedButton_Resize->setChecked(true);
    w.SpeedButton_ResizeClick();

    // The Type list open over row 9's Type cell.
    click(w, colType, 9);
    QTest::keyClick(w.cmbxFile, Qt::Key_F4);
    QWidget* list = w.cmbxFile->view()->window();
    waitFor([&] { return list->isVisible(); });
    save(withPopup(w, list), "editing-type-list");
    QTest::keyClick(w.cmbxFile->view(), Qt::Key_Escape);
    waitFor([&] { return !list->isVisible(); });
    w.activateWindow();
    waitFor([&] { return QGuiApplication::focusWindow() == w.windowHandle(); });

    // The file picker over the Issue cell of the binary firmware row.
    click(w, colIssue, 11);
    waitFor([&] { return w.JvFilenameEdit1->isVisible(); });
    QTest::qWait(20);
    save(w.grab(), "editing-file-picker");
    click(w, colName, 15);

    // The popup menu over the table.
    const QPoint at = cellCentre(w, colName, 9);
    click(w, colName, 9);
    QContextMenuEvent menu(QContextMenuEvent::Mouse, at,
                           w.StringGrid1->viewport()->mapToGlobal(at));
    QApplication::sendEvent(w.StringGrid1->viewport(), &menu);
    waitFor([&] { return w.PopupMenuOFstrGrid->isVisible(); });
    save(withPopup(w, w.PopupMenuOFstrGrid), "editing-popup-menu");
    w.PopupMenuOFstrGrid->hide();

    // After a run: the sample project, then a row whose answer the device never gives.
    simtest::SimProcess device;
    if (!device.start({"--com", "7"})) {
        std::printf("FAILED keldrin-devsim\n");
        return 1;
    }
    w.table().setCell(colName, 14, QStringLiteral("Ask for a word it never says"));
    w.table().setCell(colType, 14, QStringLiteral("Command"));
    w.table().setCell(colIssue, 14, QStringLiteral("ID!"));
    w.table().setCell(colAck, 14, QStringLiteral("NEVER"));
    w.table().setCell(colNack, 14, QStringLiteral("NOTHING"));
    w.table().setCell(colTimeOut, 14, QStringLiteral("1"));
    w.SpinEdit_DelayOnSent->setValue(0);
    w.SioComPort1->SetComNumber(7);
    w.SioComPort1->Open();
    w.btnGo->click();
    w.SioComPort1->Close();
    device.stop();
    w.SpeedButton_ResizeClick();
    QTest::qWait(20);
    save(w.grab(), "editing-after-run");

    w.close();
    return ok ? 0 : 1;
}
