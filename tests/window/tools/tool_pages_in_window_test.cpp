// The "Calculations" and "HEXeditor" pages inside the main window: their controls under their
// names, the shared open dialog, the status line and the error log.
#include <QAbstractScrollArea>
#include <QFile>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "platform/FakeSeams.h"
#include "platform/Seams.h"
#include "shell/Application.h"
#include "shell/ErrorLog.h"
#include "shell/TfrmMain.h"
#include "support/TestKit.h"
#include "tools/CalcEdit.h"
#include "tools/CalculationsPage.h"
#include "tools/HexEditorPage.h"
#include "tools/NumberBaseEdit.h"
#include "widgets/HexView.h"
#include "widgets/StatusPanels.h"

using namespace keldrin;

class ToolPagesInWindowTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<platform::FakeSeams> seams;
    std::unique_ptr<QTemporaryDir> folder;

  private slots:
    void init() { testkit::enterSandbox(seams, folder); }
    void cleanup() { testkit::leaveSandbox(seams, folder); }

    void thePagesSitOnTheirTabsUnderTheirNames() {
        TfrmMain w({QStringLiteral("keldrin")});
        w.show();
        for (const char* name :
             {"MemoHEXA", "MemoASCII", "Memo2", "btnDoASCII", "btnDoHEX", "PBBinHexEdit1",
              "PBBinHexEdit2", "RadioGroup1", "RadioGroup2", "JvCalcEdit4"}) {
            QVERIFY2(w.TabSheet7->findChild<QWidget*>(QLatin1String(name)), name);
        }
        for (const char* name : {"MPHexEditorEx1", "btnOpenHex"})
            QVERIFY2(w.TabSheet5->findChild<QWidget*>(QLatin1String(name)), name);
        // What the settings file keeps of the page.
        QCOMPARE(w.calculations->PBBinHexEdit1->AsHex(), QStringLiteral("1234"));
        QCOMPARE(w.calculations->JvCalcEdit4->value(), 0.0);
    }

    void theHexViewWritesTheCaretIntoTheStatusLineAndErrorsIntoTheLog() {
        TfrmMain w({QStringLiteral("keldrin")});
        w.show();
        w.mnuAdvancedModeClick();
        w.setActiveTab(w.tabIndexOf(QStringLiteral("HEXeditor")));
        const QString path = folder->filePath(QStringLiteral("dump.bin"));
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QByteArray(70000, 'k'));
        }
        seams->dialogs->answers.push_back(path);
        QTest::mouseClick(w.hexEditor->btnOpenHex, Qt::LeftButton);
        QCOMPARE(seams->dialogs->requests.back().filterIndex, 2);
        QAbstractScrollArea* canvas = w.hexEditor->MPHexEditorEx1->canvas();
        canvas->setFocus();
        QTest::keyClick(canvas, Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(w.SBar->panelText(0), QStringLiteral("0x1116F|"));
        QTest::keyClick(canvas, Qt::Key_Home, Qt::ControlModifier);
        QCOMPARE(w.SBar->panelText(0), QStringLiteral("0x00000|"));

        // The project dialog starts from the file the hex view opened last.
        seams->dialogs->answers.push_back(folder->filePath(QStringLiteral("missing.bin")));
        QTest::mouseClick(w.hexEditor->btnOpenHex, Qt::LeftButton);
        QCOMPARE(seams->dialogs->requests.back().fileName, path);
        QCOMPARE(w.hexEditor->MPHexEditorEx1->fileName(), path);
        QFile log(w.errorLog().logPath());
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QByteArray text = log.readAll();
        QVERIFY(text.contains("Exception class= EFOpenError\r\n"));
        QVERIFY(text.contains("ExceptionMessage= Cannot open " +
                              QFile::encodeName(folder->filePath(QStringLiteral("missing.bin"))) +
                              ".\r\n(No such file or directory.)"));
        w.close();
    }
};

int main(int argc, char** argv) {
    Application app(argc, argv);
    ToolPagesInWindowTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tool_pages_in_window_test.moc"
