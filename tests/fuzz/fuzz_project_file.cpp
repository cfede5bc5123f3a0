// The load of a project file into the command table, the send delay and the port settings, on
// any file: nothing may crash or hang, and every shown cell holds what the file gives for it.
// A delay or port setting that is no number raises EConvertError, which is the load's way of
// refusing it.

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QSpinBox>
#include <QTableWidget>
#include <cstdint>
#include <memory>

#include "FuzzKit.h"
#include "platform/Errors.h"
#include "platform/FakeSeams.h"
#include "platform/ProfileStrings.h"
#include "runner/CommandTable.h"
#include "runner/ProjectFile.h"
#include "serial/SioComPort.h"

using namespace keldrin;

namespace {

struct Window {
    platform::FakeSeams seams;
    QWidget window;
    QTableWidget* grid = new QTableWidget(&window);
    CommandTable table{grid};
    QSpinBox* delay = new QSpinBox(&window);
    QLabel* label = new QLabel(&window);
    serial::TSioComPort port;
    FileDialogMemory openDialog, saveDialog;
    QString projectName;
    std::unique_ptr<ProjectFile> project;

    Window() {
        table.writeHeaderRow();
        delay->setRange(0, 100000);
        ProjectFileParts parts;
        parts.table = &table;
        parts.SpinEdit_DelayOnSent = delay;
        parts.SioComPort1 = &port;
        parts.selectedComNumber = [] { return 3; };
        parts.mainWindow = &window;
        parts.lblCurrentProject = label;
        parts.autoRunMode = [] { return true; };
        parts.commandLineProject = [this] { return projectName; };
        parts.autoResizeColumns = [this] { grid->resizeColumnsToContents(); };
        parts.OpenDialog1 = &openDialog;
        parts.SaveDialog1 = &saveDialog;
        project = std::make_unique<ProjectFile>(parts);
    }

    // The table as the window starts with it, so that no input depends on the one before.
    void reset() {
        table.setRowCount(1);
        table.setRowCount(24);
        table.setCell(colName, 1, kMarkerName);
        delay->setValue(10);
    }
};

Window* window = nullptr;

constexpr int kMaxRowsHere = 300;

}  // namespace

// Fontconfig keeps a cache for the life of the process (the table's first paint loads fonts).
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig\n";
}

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("KELDRIN_TEST_SILENT", "1");
    static QApplication app(*argc, *argv);
    window = new Window;
    window->projectName =
        QFile::decodeName(QByteArray::fromStdString(fuzzkit::scratchPath("project.cmd")));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Window& w = *window;
    w.reset();
    fuzzkit::writeFile(QFile::encodeName(w.projectName).toStdString(),
                       QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    // The table grows to the highest row section (up to 100,000 rows), and the load pumps
    // events after every cell: some seconds for a big table, which is no finding and would stall
    // the search. Big tables are timed by project_file_bench instead.
    for (const QByteArray& name : platform::ProfileSectionNames(w.projectName)) {
        bool number = false;
        if (name.toInt(&number) > kMaxRowsHere && number) return -1;
    }
    bool loaded = false;
    try {
        loaded = w.project->ActionOpenCommandSetExecute();
    } catch (const EConvertError&) {
        loaded = true;  // the table was loaded before the bad setting
    }
    FUZZ_CHECK(loaded);
    FUZZ_CHECK(w.table.rowCount() >= 24 && w.table.rowCount() <= ProjectFile::kMaxRows);
    platform::ProfileSession session(w.projectName);
    for (int r = 1; r < w.table.rowCount(); ++r)
        for (int c = colName; c <= colTimeOut; ++c)
            FUZZ_CHECK(w.table.cell(c, r) ==
                       ReadProjectValue(w.projectName, QString::number(r), w.table.cell(c, 0), {}));
    return 0;
}
