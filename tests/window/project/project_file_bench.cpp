// Times saving and loading a large project through the window's actions, and the bare
// profile-string layer with and without a session. Not a test: it prints figures.
//
//   project_file_bench [rows]     (default 2000 command rows)

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QSpinBox>
#include <QTableWidget>
#include <QTemporaryDir>
#include <cstdio>

#include "platform/FakeSeams.h"
#include "platform/ProfileStrings.h"
#include "runner/CommandTable.h"
#include "runner/ProjectFile.h"
#include "serial/SioComPort.h"

using namespace keldrin;

namespace {

double msSince(const QElapsedTimer& t) {
    return double(t.nsecsElapsed()) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rows = argc > 1 ? QByteArray(argv[1]).toInt() : 2000;
    platform::FakeSeams seams;
    QTemporaryDir dir;

    QWidget window;
    auto* grid = new QTableWidget(&window);
    CommandTable table(grid);
    table.writeHeaderRow();
    // Header, marker row, the command rows.
    table.setRowCount(rows + 2);
    table.setCell(colName, 1, kMarkerName);
    for (int r = 2; r < table.rowCount(); ++r) {
        table.setCell(colName, r, QStringLiteral("Step %1").arg(r));
        table.setCell(colType, r, QStringLiteral("Command"));
        table.setCell(colIssue, r, QStringLiteral("W%1,00FF!").arg(r, 4, 16, QLatin1Char('0')));
        table.setCell(colAck, r, QStringLiteral("OK"));
        table.setCell(colNack, r, QStringLiteral("ERR"));
        table.setCell(colTimeOut, r, QStringLiteral("2"));
    }
    auto* delay = new QSpinBox(&window);
    delay->setRange(0, 100000);
    auto* label = new QLabel(&window);
    serial::TSioComPort port;
    FileDialogMemory openDialog, saveDialog;

    ProjectFileParts parts;
    parts.table = &table;
    parts.SpinEdit_DelayOnSent = delay;
    parts.SioComPort1 = &port;
    parts.selectedComNumber = [] { return 3; };
    parts.mainWindow = &window;
    parts.lblCurrentProject = label;
    parts.autoRunMode = [] { return false; };
    parts.commandLineProject = [] { return QString(); };
    parts.autoResizeColumns = [grid] { grid->resizeColumnsToContents(); };
    parts.OpenDialog1 = &openDialog;
    parts.SaveDialog1 = &saveDialog;
    ProjectFile project(parts);
    window.resize(1000, 700);
    window.show();

    const QString file = dir.filePath(QStringLiteral("big.cmd"));
    const int keys = table.rowCount() * kCommandColumnCount;

    QElapsedTimer t;
    seams.dialogs->answers.push_back(file);
    t.start();
    project.ActionSaveCommandSetExecute();
    const double saveNew = msSince(t);

    seams.dialogs->answers.push_back(file);
    t.start();
    project.ActionSaveCommandSetExecute();
    const double saveOver = msSince(t);

    for (int r = 1; r < table.rowCount(); ++r) table.setCell(colName, r, QString());
    seams.dialogs->answers.push_back(file);
    t.start();
    project.ActionOpenCommandSetExecute();
    const double load = msSince(t);
    const bool same = table.cell(colName, rows + 1) == QStringLiteral("Step %1").arg(rows + 1);

    std::printf("project of %d command rows (%d row sections, %d keys), file %lld bytes\n", rows,
                table.rowCount(), keys, static_cast<long long>(QFile(file).size()));
    std::printf("  Save, new file:        %8.1f ms\n", saveNew);
    std::printf("  Save, over that file:  %8.1f ms\n", saveOver);
    std::printf("  Load:                  %8.1f ms%s\n", load, same ? "" : "  (WRONG CONTENT)");

    // The layer alone, without the window's event pumps.
    const QString bare = dir.filePath(QStringLiteral("bare.cmd"));
    const QByteArray header[] = {"Name",        "Type",   "Issue",    "ACK_string",
                                 "NACK_string", "Status", "Time-Out", "Real-Time"};
    t.start();
    {
        platform::ProfileSession session(bare);
        for (int r = 1; r <= table.rowCount(); ++r)
            for (const QByteArray& k : header)
                platform::WriteProfileString(bare, QByteArray::number(r), k, "value");
        session.commit();
    }
    const double layerWrite = msSince(t);
    t.start();
    {
        platform::ProfileSession session(bare);
        for (int r = 1; r <= table.rowCount(); ++r)
            for (const QByteArray& k : header)
                platform::ReadProfileValue(bare, QByteArray::number(r), k);
    }
    const double layerRead = msSince(t);
    std::printf("  layer, %d writes in a session: %8.1f ms\n", keys, layerWrite);
    std::printf("  layer, %d reads in a session:  %8.1f ms\n", keys, layerRead);

    // Without a session every call parses the whole file (and a write rewrites it), so the cost
    // per call grows with the file: time a sample of calls on the full file.
    const int sample = 200;
    t.start();
    for (int i = 0; i < sample; ++i)
        platform::ReadProfileValue(bare, QByteArray::number(1 + i % table.rowCount()), "Issue");
    const double oneRead = msSince(t) / sample;
    t.start();
    for (int i = 0; i < sample; ++i)
        platform::WriteProfileString(bare, QByteArray::number(1 + i % table.rowCount()), "Issue",
                                     QByteArray::number(i));
    const double oneWrite = msSince(t) / sample;
    std::printf(
        "  layer without a session: %.3f ms per read, %.3f ms per write "
        "(so %d reads would take %.0f ms, %d writes %.0f ms)\n",
        oneRead, oneWrite, keys, oneRead * keys, keys, oneWrite * keys);
    return same ? 0 : 1;
}
