// Loading a project while the port is open, over a real pseudo-terminal: the port is closed
// before the project's line settings are applied, and stays closed. A GoogleTest program rather
// than a Qt Test one, as it also runs under ThreadSanitizer: Qt Test's watchdog thread is joined
// through Qt's own futex waits, which the sanitizer cannot see, and is reported at exit.

#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QSpinBox>
#include <QTableWidget>
#include <QTemporaryDir>
#include <vector>

#include "platform/FakeSeams.h"
#include "runner/CommandTable.h"
#include "runner/ProjectFile.h"
#include "serial/SioComPort.h"
#include "unit/serial/PtyFixture.h"

using namespace keldrin;
using namespace keldrin::serial;

TEST(ProjectFilePort, LoadingClosesAnOpenPortAndAppliesTheSettings) {
    platform::FakeSeams seams;
    QTemporaryDir dir;
    serial::testing::PtyPair pty;
    ASSERT_FALSE(pty.path.empty());
    serial::testing::mapPort(17, pty.path);

    QWidget window;
    auto* grid = new QTableWidget(&window);
    CommandTable table(grid);
    table.writeHeaderRow();
    table.setRowCount(24);
    QSpinBox delay(&window);
    QLabel label(&window);
    TSioComPort port;
    port.SetComNumber(17);
    port.SetBaudRate(br38400);
    std::vector<QString> seen;  // what happened, in order
    port.OnPortClose = [&](TSioComPort* p) {
        seen.push_back(QStringLiteral("closed at %1 baud").arg(BaudRateValue(p->BaudRate())));
    };
    FileDialogMemory openDialog, saveDialog;
    ProjectFileParts parts;
    parts.table = &table;
    parts.SpinEdit_DelayOnSent = &delay;
    parts.SioComPort1 = &port;
    parts.selectedComNumber = [] { return 17; };
    parts.mainWindow = &window;
    parts.lblCurrentProject = &label;
    parts.autoRunMode = [] { return false; };
    parts.commandLineProject = [] { return QString(); };
    parts.autoResizeColumns = [&] {
        seen.push_back(QStringLiteral("resized, port %1").arg(port.IsOpen() ? "open" : "shut"));
    };
    parts.OpenDialog1 = &openDialog;
    parts.SaveDialog1 = &saveDialog;
    ProjectFile project(parts);

    const QString file = dir.filePath(QStringLiteral("line.cmd"));
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(
        "[2]\r\nName=step\r\n[ComPort_Settings]\r\nComPort_BaudRate=6\r\n"
        "ComPort_Databits=4\r\nComPort_FlowControl=0\r\nComPort_Parity=0\r\n"
        "ComPort_Stopbits=0\r\n");
    f.close();

    port.Open();
    ASSERT_TRUE(port.IsOpen());
    seams.dialogs->answers.push_back(file);
    project.ActionOpenCommandSetExecute();

    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(port.BaudRate(), br9600);
    EXPECT_EQ(port.Stopbits(), sbOne);
    const std::vector<QString> expected = {QStringLiteral("closed at 38400 baud"),
                                           QStringLiteral("resized, port shut"),
                                           QStringLiteral("resized, port shut")};
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(table.cell(colName, 2), QStringLiteral("step"));
}

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
