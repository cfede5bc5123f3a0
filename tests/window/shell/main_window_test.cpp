// The main window as the user meets it: its table, modes, pages, hints, start-up and shutdown,
// and the error trap.

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <csetjmp>
#include <cstdio>
#include <memory>

extern "C" {
#include <jpeglib.h>
}

#include "platform/Errors.h"
#include "platform/FakeSeams.h"
#include "platform/Guard.h"
#include "runner/CommandTable.h"
#include "serial/discovery/TSioPortComboBox.h"
#include "shell/Application.h"
#include "shell/ErrorLog.h"
#include "shell/TfrmAbout.h"
#include "shell/TfrmMain.h"
#include "support/TestKit.h"
#include "widgets/BalloonHint.h"
#include "widgets/BlinkingLabel.h"
#include "widgets/StatusPanels.h"

using namespace keldrin;

namespace {

struct JpegInfo {
    bool ok = false;
    int width = 0;
    int height = 0;
};

struct JpegError {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
};

// Decodes the whole file with libjpeg, so a truncated or malformed file fails.
JpegInfo decodeJpeg(const QString& path) {
    JpegInfo info;
    FILE* f = std::fopen(QFile::encodeName(path).constData(), "rb");
    if (!f) return info;
    jpeg_decompress_struct cinfo;
    JpegError err;
    cinfo.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = [](j_common_ptr c) {
        std::longjmp(reinterpret_cast<JpegError*>(c->err)->jump, 1);
    };
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        std::fclose(f);
        return JpegInfo{};
    }
    jpeg_create_decompress(&cinfo);
    jpeg_stdio_src(&cinfo, f);
    jpeg_read_header(&cinfo, TRUE);
    jpeg_start_decompress(&cinfo);
    std::vector<JSAMPLE> row(size_t(cinfo.output_width) * size_t(cinfo.output_components));
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW r = row.data();
        jpeg_read_scanlines(&cinfo, &r, 1);
    }
    info.width = int(cinfo.output_width);
    info.height = int(cinfo.output_height);
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    std::fclose(f);
    info.ok = err.mgr.num_warnings == 0;
    return info;
}

QStringList visibleTabs(const TfrmMain& w) {
    QStringList out;
    for (int i = 0; i < w.pcMain_PageControl->count(); ++i)
        if (w.pcMain_PageControl->isTabVisible(i)) out << w.pcMain_PageControl->tabText(i);
    return out;
}

const QStringList kAllTabs{"CommPort",  "Project",       "Calculations",  "Logging",
                           "HEXeditor", "Communication", "HEX Command CS"};

// A widget whose event handler fails: what reaches the application's notify backstop.
class FailingWidget : public QWidget {
  public:
    bool event(QEvent* e) override {
        if (e->type() == QEvent::User) throw EInOutError("disk gone");
        return QWidget::event(e);
    }
};

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<platform::FakeSeams> seams;
    std::unique_ptr<QTemporaryDir> folder;

    std::unique_ptr<TfrmMain> makeWindow(const QStringList& args = {"keldrin"}) {
        auto w = std::make_unique<TfrmMain>(args);
        w->show();
        QTest::qWait(10);
        return w;
    }

  private slots:
    void init() { testkit::enterSandbox(seams, folder); }
    void cleanup() { testkit::leaveSandbox(seams, folder); }

    void startsInDefaultModeWithTheDesignTexts() {
        auto w = makeWindow();
        QCOMPARE(w->windowTitle(), QStringLiteral("Keldrin==> no command file"));
        QVERIFY(w->Panel_Default->isVisible());
        QVERIFY(!w->Panel2->isVisible());
        QVERIFY(!w->SBar->isVisible());
        QVERIFY(w->mnuDefault->isChecked());
        QVERIFY(!w->SpeedButton3->isEnabled());
        QCOMPARE(w->SpeedButton3->text(), QStringLiteral("Program"));
        QCOMPARE(w->SpeedButton3->toolTip(), QStringLiteral("press to start the execution"));
        QCOMPARE(w->SpeedButton1->text(), QStringLiteral("Load Project=>"));
        QCOMPARE(w->lblCurrentProject->text(), QStringLiteral("Current Project: <Blank>"));
        QCOMPARE(w->lblRealCheckSum->text(), QStringLiteral("Device Reported: Calculated:"));
        QCOMPARE(w->SioPortComboBox3->toolTip(), QStringLiteral("Please, select a CommPort"));
        QVERIFY(!w->LCDLabel1->isVisible());
        QVERIFY(!w->JvBehaviorLabel->isVisible());
        QCOMPARE(w->SBar->panelCount(), 8);
        QCOMPARE(w->SBar->panelText(7), QStringLiteral("Current Commands File: \"blank\""));
        QCOMPARE(w->SBar->panelText(0), QStringLiteral("Idle..."));
        QCOMPARE(w->SBar->panelText(4), QStringLiteral("Received:"));
        QCOMPARE(w->dfsStatusBar1->panelText(3),
                 QStringLiteral("Mode: Default, CommPort Settings"));
        QCOMPARE(w->activeTabCaption(), QStringLiteral("Project"));
        QVERIFY(!w->AutoRunMode);
        QCOMPARE(w->StatusBarProgressFlag, 0);
        QVERIFY(w->frmAbout && !w->frmAbout->isVisible());
        // The menus in their order, and the settings shortcut that no menu shows.
        QStringList menus;
        for (QAction* a : w->menuBar()->actions()) menus << a->text();
        QCOMPARE(menus, (QStringList{"&File", "Mode", "Help"}));
        QCOMPARE(w->MIExit->shortcut(), QKeySequence(Qt::ALT | Qt::Key_F4));
        QCOMPARE(w->MISettings->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_S));
        QVERIFY(w->useupto24CommPorts1->isChecked() && !w->useupto255CommPorts1->isChecked());
    }

    void commandTableHasTheHeaderAndRowRules() {
        auto w = makeWindow();
        CommandTable& t = w->table();
        QCOMPARE(t.rowCount(), 24);
        QCOMPARE(w->StringGrid1->columnCount(), 8);
        QVERIFY(!w->StringGrid1->verticalHeader()->isVisible());  // column 0 is not fixed
        for (int c = 0; c < 8; ++c) QCOMPARE(t.cell(c, 0), commandHeaderTexts().at(c));
        QCOMPARE(
            commandHeaderTexts().join(','),
            QStringLiteral("Name,Type,Issue,ACK_string,NACK_string,Status,Time-Out,Real-Time"));

        // Insert moves the rows from there on down; remove moves them up.
        t.setCell(colName, 2, "second");
        t.setCell(colName, 3, "third");
        t.insertRow(3);
        QCOMPARE(t.rowCount(), 25);
        QCOMPARE(t.cell(colName, 3), QString());
        QCOMPARE(t.cell(colName, 4), QStringLiteral("third"));
        t.removeRow(2);
        QCOMPARE(t.cell(colName, 3), QStringLiteral("third"));
        t.appendRow();
        QCOMPARE(t.rowCount(), 25);
        QCOMPARE(t.cell(colIssue, 99), QString());  // past the end reads as empty

        // The header row always stays.
        for (int i = 0; i < 40; ++i) t.removeRow(1);
        QCOMPARE(t.rowCount(), 1);
        t.removeRow(0);
        QCOMPARE(t.rowCount(), 1);
        QCOMPARE(t.cell(colType, 0), QStringLiteral("Type"));
    }

    void emptyRowsAndTheMarkerRow() {
        auto w = makeWindow();
        CommandTable& t = w->table();
        QVERIFY(t.isRowEmpty(2));
        t.setCell(colIssue, 2, QString::fromLatin1(" \t\r\n\x01"));
        QVERIFY(t.isRowEmpty(2));
        t.setCell(colTimeOut, 2, QStringLiteral(" 5 "));
        QVERIFY(!t.isRowEmpty(2));

        // No marker: one row is inserted for it, the former row 1 moves down.
        t.setCell(colName, 1, "Erase");
        t.setCell(colIssue, 1, "E!");
        t.ensureMarkerRow();
        QCOMPARE(t.cell(colName, 1), kMarkerName);
        QCOMPARE(t.cell(colName, 2), QStringLiteral("Erase"));
        QCOMPARE(t.cell(colIssue, 2), QStringLiteral("E!"));
        // A marker row with stray cells keeps its place and loses the cells.
        t.setCell(colStatus, 1, "OK");
        t.setCell(colIssue, 1, "x");
        const int rows = t.rowCount();
        t.ensureMarkerRow();
        QCOMPARE(t.rowCount(), rows);
        for (int c = 1; c < 8; ++c) QCOMPARE(t.cell(c, 1), QString());
    }

    void modesShowTheirPanelsTabsAndControls() {
        auto w = makeWindow();
        struct Expect {
            bool defaultPanel, engineering, sbar, delayAndSave;
            QAction* checked;
        };
        auto check = [&](const Expect& e, const char* label) {
            QVERIFY2(w->Panel_Default->isVisible() == e.defaultPanel, label);
            QVERIFY2(w->Panel2->isVisible() == e.engineering, label);
            QVERIFY2(w->SBar->isVisible() == e.sbar, label);
            QVERIFY2(!w->dfsStatusBar1->isVisible(), label);
            QVERIFY2(e.checked->isChecked(), label);
            int checkedCount = 0;
            for (QAction* a : {w->mnuDefault, w->mnuSimplified, w->mnuAdvancedMode})
                checkedCount += a->isChecked();
            QVERIFY2(checkedCount == 1, label);
            if (e.engineering) {
                QVERIFY2(w->SpinEdit_DelayOnSent->isVisible() == e.delayAndSave, label);
                // The field's caption comes and goes with it.
                int captions = 0;
                for (QLabel* caption : w->findChildren<QLabel*>()) {
                    if (caption->text() != QLatin1String("Delay on Sent:")) continue;
                    ++captions;
                    QVERIFY2(caption->isVisible() == e.delayAndSave, label);
                }
                QVERIFY2(captions == 1, label);
                QVERIFY2(w->SpeedButtonSave->isVisible() == e.delayAndSave, label);
            }
        };

        w->mnuAdvancedMode->trigger();
        check({false, true, true, true, w->mnuAdvancedMode}, "advanced");
        QCOMPARE(visibleTabs(*w), kAllTabs);

        // Simplified after Advanced: only two tabs, "Project" in front.
        w->setActiveTab(w->tabIndexOf("Logging"));
        w->mnuSimplified->trigger();
        check({false, true, true, false, w->mnuSimplified}, "simplified");
        QCOMPARE(visibleTabs(*w), (QStringList{"Project", "Communication"}));
        QCOMPARE(w->activeTabCaption(), QStringLiteral("Project"));

        // Advanced after Simplified: all seven, "Project" stays in front.
        w->mnuAdvancedMode->trigger();
        QCOMPARE(visibleTabs(*w), kAllTabs);
        QCOMPARE(w->activeTabCaption(), QStringLiteral("Project"));

        // Default leaves the tabs alone: Simplified, Default, Advanced ends with all seven.
        w->mnuSimplified->trigger();
        w->mnuDefault->trigger();
        check({true, false, false, false, w->mnuDefault}, "default");
        QCOMPARE(visibleTabs(*w), (QStringList{"Project", "Communication"}));
        w->mnuAdvancedMode->trigger();
        QCOMPARE(visibleTabs(*w), kAllTabs);
        // No mode change counts as a page change.
        QCOMPARE(w->StatusBarProgressFlag, 0);
    }

    void pageChangesDriveTheStatusBarAndTheProgressFlag() {
        auto w = makeWindow();
        QStringList heard;
        w->pageChangeListeners.push_back([&](const QString& c) { heard << c; });
        w->mnuSimplifiedClick();
        QCOMPARE(w->StatusBarProgressFlag, 0);  // not until the user picks a tab

        struct Step {
            QString tab;
            bool sbar;
            int flag;
        };
        w->mnuAdvancedModeClick();
        const Step steps[] = {{"Communication", true, 1},   {"Logging", false, 0},
                              {"Project", true, 1},         {"CommPort", false, 0},
                              {"HEX Command CS", false, 0}, {"Project", true, 1}};
        for (const Step& s : steps) {
            // What a click on the tab does: the tab control changes its current page.
            w->pcMain_PageControl->setCurrentIndex(w->tabIndexOf(s.tab));
            QCOMPARE(w->SBar->isVisible(), s.sbar);
            QCOMPARE(w->StatusBarProgressFlag, s.flag);
        }
        QCOMPARE(heard, (QStringList{"Communication", "Logging", "Project", "CommPort",
                                     "HEX Command CS", "Project"}));
        // Every visit to "CommPort" is heard, so the port list is refreshed each time.
        w->pcMain_PageControl->setCurrentIndex(w->tabIndexOf("Logging"));
        w->pcMain_PageControl->setCurrentIndex(w->tabIndexOf("CommPort"));
        QCOMPARE(heard.count("CommPort"), 2);
    }

    void hintsAppearAsBalloonsOnlyWhileSwitchedOn() {
        auto w = makeWindow();
        QVERIFY(w->mnuShowHint->isChecked());
        auto askTip = [&] {
            QHelpEvent help(QEvent::ToolTip, QPoint(5, 5),
                            w->SpeedButton1->mapToGlobal(QPoint(5, 5)));
            QApplication::sendEvent(w->SpeedButton1, &help);
        };
        askTip();
        QVERIFY(w->hints().balloon() && w->hints().balloon()->isVisible());
        QCOMPARE(w->hints().balloon()->hintText(),
                 QStringLiteral("opens previously prepared commands set"));
        QVERIFY(w->hints().balloon()->findChildren<QLabel*>().first()->text() ==
                QStringLiteral("Keldrin Hint:   (Set/Unset Hint In Help Menu)"));

        w->mnuShowHint->trigger();  // off
        QVERIFY(!w->mnuShowHint->isChecked());
        QVERIFY(!w->hints().showHint());
        QVERIFY(!w->hints().balloon()->isVisible());
        askTip();
        QVERIFY(!w->hints().balloon()->isVisible());

        w->mnuShowHint->trigger();  // on again: twice leaves hints on
        QVERIFY(w->mnuShowHint->isChecked());
        QVERIFY(w->hints().showHint());
        askTip();
        QVERIFY(w->hints().balloon()->isVisible());
    }

    void commandLineSetsTheUnattendedMode() {
        auto w = makeWindow({"keldrin", "3", "/data/board.cmd"});
        QVERIFY(w->AutoRunMode);
        QCOMPARE(w->CommandLinePort, QStringLiteral("3"));
        QCOMPARE(w->CommandLineProject, QStringLiteral("/data/board.cmd"));
        auto plain = makeWindow({"keldrin"});
        QVERIFY(!plain->AutoRunMode);
        QVERIFY(plain->CommandLinePort.isEmpty());
    }

    void instanceCountRisesAndFallsWithEachWindow() {
        // First start on a machine: nothing stored yet.
        {
            auto w = makeWindow();
            QCOMPARE(seams->store->value.value_or("none"), QStringLiteral("1"));
            w->close();
        }
        QCOMPARE(seams->store->value.value_or("none"), QStringLiteral("0"));

        seams->store->value = QStringLiteral("5");
        auto a = makeWindow();
        auto b = makeWindow();
        QCOMPARE(*seams->store->value, QStringLiteral("7"));
        QCOMPARE(b->InstanceNumber, QStringLiteral("7"));
        a->close();
        b->close();
        QCOMPARE(*seams->store->value, QStringLiteral("5"));

        // A value that is not a number counts as none; a store that cannot be written is
        // ignored and the window comes up all the same.
        seams->store->value = QStringLiteral("many");
        auto c = makeWindow();
        QCOMPARE(*seams->store->value, QStringLiteral("1"));
        seams->store->readOnly = true;
        auto d = makeWindow();
        QVERIFY(d->isVisible());
        QCOMPARE(*seams->store->value, QStringLiteral("1"));
    }

    void closingShrinksTheWindowAway() {
        auto w = makeWindow();
        const unsigned long before = seams->sleeper->total;
        QVERIFY(w->close());
        QVERIFY(!w->isVisible());
        // 2 ms per step, (width / 30 + 1) + (height / 30 + 1) steps.
        QVERIFY(seams->sleeper->total - before >= 2 * (908 / 30 + 596 / 30));
        QVERIFY(w->windowTitle().isEmpty());
    }

    void errorsInHandlersAreLoggedAndTheWindowGoesOn() {
        auto w = makeWindow();
        const QString logPath = folder->path() + "/_errors_log.txt";
        QVERIFY(!QFile::exists(logPath));

        // A failing signal handler, connected the way every handler of the program is.
        QPushButton failing(w.get());
        connectGuarded(&failing, &QPushButton::clicked, w.get(), "btnFailingClick",
                       [] { throw EConvertError("'abc' is not a valid integer value"); });
        failing.click();

        QVERIFY(w->isVisible());
        QVERIFY(seams->boxes->shown.empty());  // nothing is shown
        QFile log(logPath);
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QByteArray text = log.readAll();
        log.close();
        QVERIFY(text.startsWith("##################### exception log header\r\nExeModule= "));
        const QByteArray headerEnd = "\r\n##################### exception log header end\r\n";
        const int recordStart = text.indexOf(headerEnd) + headerEnd.size();
        QVERIFY(recordStart > int(headerEnd.size()));
        for (const char* item :
             {"\r\nOSPlatform= ", "\r\nCPUKind= ", "\r\nCPUName= ", "\r\nTotalPhys= ",
              "\r\nAvailPhys= ", "\r\nTotalPageFile= ", "\r\nAvailPageFile= ", "\r\nTotalVirtual= ",
              "\r\nAvailVirtual= ", "\r\nColorDepth= ", "\r\nVRefreshRate= ",
              "\r\nGraphicResolution= "})
            QVERIFY2(text.left(recordStart).contains(item), item);

        const QString record = QString::fromLatin1(text.mid(recordStart));
        const QRegularExpression layout(
            QStringLiteral("^\\r\\nException class= EConvertError"
                           "\\r\\nExceptAddr= [0-9A-F]{8}"
                           "\\r\\nComputer= [^\\r\\n]*"
                           "\\r\\nUser= [^\\r\\n]*"
                           "\\r\\nDatetime= [^\\r\\n]+  [^\\r\\n]+"
                           "\\r\\nExceptionMessage= 'abc' is not a valid integer value\\r\\n$"));
        QVERIFY2(layout.match(record).hasMatch(), qPrintable(record));

        // One screenshot for that place, and it is a JPEG that decodes.
        QDir shots(folder->path() + "/" + platform::programBaseName() + "-errors");
        QStringList jpegs = shots.entryList({"*.jpg"}, QDir::Files);
        QCOMPARE(jpegs.size(), 1);
        const JpegInfo info = decodeJpeg(shots.filePath(jpegs.first()));
        QVERIFY(info.ok);
        QVERIFY(info.width > 0 && info.height > 0);

        // The same place again: another record, no other screenshot.
        failing.click();
        QVERIFY(log.open(QIODevice::ReadOnly));
        QCOMPARE(log.readAll().count("Exception class= "), 2);
        log.close();
        QTest::qWait(1100);  // a later second would give a new file name
        failing.click();
        QCOMPARE(shots.entryList({"*.jpg"}, QDir::Files).size(), 1);
    }

    void errorsInEventHandlersReachTheTrapThroughTheApplication() {
        auto w = makeWindow();
        FailingWidget widget;
        QEvent user(QEvent::User);
        QApplication::sendEvent(&widget, &user);
        QFile log(folder->path() + "/_errors_log.txt");
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QByteArray text = log.readAll();
        QCOMPARE(text.count("Exception class= "), 1);
        QVERIFY(text.contains("Exception class= EInOutError\r\n"));
        QVERIFY(text.contains("ExceptionMessage= disk gone\r\n"));
        QVERIFY(w->isVisible());
    }
};

int main(int argc, char** argv) {
    Application app(argc, argv);
    MainWindowTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "main_window_test.moc"
