// The window's port controls and the operator's panel: picking, opening and closing a port,
// the status refresh, "Load Project=>" with its file checks and "Program" with its summary.

#include <sys/file.h>

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>

#include "Picking.h"
#include "SimClient.h"
#include "platform/FakeSeams.h"
#include "platform/Seams.h"
#include "runner/CommandTable.h"
#include "runner/ProductionFlow.h"
#include "runner/ProjectFile.h"
#include "serial/SioComPort.h"
#include "serial/discovery/TSioPortComboBox.h"
#include "shell/Application.h"
#include "shell/PortControl.h"
#include "shell/TfrmMain.h"
#include "support/TestKit.h"
#include "terminal/CommunicationPage.h"
#include "unit/serial/PtyFixture.h"
#include "widgets/BlinkingLabel.h"
#include "widgets/StatusPanels.h"
#include "widgets/ToggleSwitch.h"

using namespace keldrin;
using keldrin::serial::testing::PtyPair;
using keldrin::testkit::pick;
using keldrin::testkit::readAll;

class ProductionTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<platform::FakeSeams> seams;
    std::unique_ptr<QTemporaryDir> folder;
    std::unique_ptr<TfrmMain> w;
    QString mapFile;

    QStringList alertTexts() const { return testkit::alertMessages(*seams->alerts); }
    void mapPort(int com, const std::string& device) {
        QFile f(mapFile);
        QVERIFY(f.open(QIODevice::Append));
        f.write(QByteArray("COM") + QByteArray::number(com) + "=" + device.c_str() + "\n");
    }
    void newWindow() {
        w = std::make_unique<TfrmMain>(QStringList{"keldrin"});
        w->show();
        w->mnuAdvancedModeClick();
    }

  private slots:
    void init() {
        testkit::enterSandbox(seams, folder);
        platform::setApplicationTitle(QStringLiteral("Keldrin"));
        mapFile = folder->filePath("Keldrin.ports");
        qputenv("KELDRIN_PORTS", mapFile.toLocal8Bit());
    }
    void cleanup() {
        w.reset();
        testkit::leaveSandbox(seams, folder);
    }

    void openedWorksFromTheFirstPressAfterAPick() {
        PtyPair pty;
        mapPort(3, pty.path);
        // A result file of an earlier run on this port goes when the port opens.
        QFile old(folder->filePath("Keldrin-Comm3.log"));
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old summary");
        old.close();
        newWindow();
        QVERIFY(!w->SpeedButtonCommPortOpenClose->isEnabled());
        QVERIFY(w->JvSwitch_CommPort->isHidden());
        w->SioPortComboBox1->RefillList();
        QVERIFY(pick(w->SioPortComboBox1, 3));
        QVERIFY(w->SpeedButtonCommPortOpenClose->isEnabled());
        QVERIFY(!w->JvSwitch_CommPort->isHidden());
        QCOMPARE(w->SioComPort1->ComNumber(), std::uint16_t(3));
        QCOMPARE(w->SioPortComboBox2->currentText(), w->SioPortComboBox1->currentText());

        w->SpeedButtonCommPortOpenClose->click();
        QVERIFY(w->SioComPort1->IsOpen());
        QVERIFY(alertTexts().contains("CommPort opening.... Done"));
        QCOMPARE(platform::applicationTitle(), QStringLiteral("Keldrin-Comm3"));
        QCOMPARE(w->SBar->panelText(0), QStringLiteral("COM3: 38400,N,8,2"));
        QCOMPARE(w->portControl->PortStateWord, QStringLiteral("opened"));
        QCOMPARE(w->portControl->CommLogFileName, folder->filePath("Keldrin-Comm3.log"));
        QVERIFY(!QFile::exists(folder->filePath("Keldrin-Comm3.log")));
        QVERIFY(w->JvSwitch_CommPort->isChecked());
        w->portControl->Timer4OFFTimer();
        QVERIFY(w->ButtonConfig->isEnabled() && w->ButtonConfig2->isEnabled());
        QVERIFY(w->MISettings->isEnabled());
        QCOMPARE(w->dfsStatusBar1->panelText(0), QStringLiteral("CommPort opened"));

        w->SpeedButtonCommPortOpenClose->click();
        QVERIFY(!w->SioComPort1->IsOpen());
        QVERIFY(alertTexts().contains("CommPort Closed"));
        QCOMPARE(w->portControl->PortStateWord, QStringLiteral("closed"));
        QVERIFY(w->communication->ButtonSendOnce->isHidden());
        w->portControl->Timer4OFFTimer();
        QVERIFY(!w->ButtonConfig->isEnabled());  // the settings dialog only while open
        QCOMPARE(w->SBar->panelText(0), QStringLiteral("Comm Closed"));
    }

    void aPortHeldElsewhereIsReportedAtTheNextRefresh() {
        PtyPair pty;
        mapPort(4, pty.path);
        const int holder = ::open(pty.path.c_str(), O_RDWR | O_NOCTTY);
        QVERIFY(holder >= 0);
        QCOMPARE(flock(holder, LOCK_EX | LOCK_NB), 0);
        newWindow();
        w->SioPortComboBox1->RefillList();
        QVERIFY(pick(w->SioPortComboBox1, 4));
        // The press fails quietly: the error goes to the error log only.
        w->SpeedButtonCommPortOpenClose->click();
        QVERIFY(!w->SioComPort1->IsOpen());
        QVERIFY(seams->alerts->shown.empty() || !alertTexts().contains("Error! can not open Com"));
        QVERIFY(readAll(folder->filePath("_errors_log.txt")).contains("Can't open device COM4"));
        w->portControl->Timer4OFFTimer();
        QVERIFY(alertTexts().contains("Error! can not open Com"));
        QVERIFY(!w->SpeedButtonCommPortOpenClose->isChecked());
        ::close(holder);
    }

    void programIsEnabledByTheStatusRefreshAfterAPick() {
        PtyPair pty;
        mapPort(5, pty.path);
        newWindow();
        w->mnuDefaultClick();
        QVERIFY(!w->SpeedButton3->isEnabled());
        w->SioPortComboBox3->RefillList();
        QVERIFY(pick(w->SioPortComboBox3, 5));
        // The refresh ticks every second; a busy machine may take longer to get there.
        QVERIFY(QTest::qWaitFor([&] { return w->SpeedButton3->isEnabled(); }, 10000));
    }

    void loadProjectChecksTheFirmwareFiles() {
        newWindow();
        const QString project = folder->filePath("line.cmd");
        auto writeProject = [&](const QByteArray& type, const QByteArray& issue) {
            QFile f(project);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write("[2]\r\nName=fw\r\nType=" + type + "\r\nIssue=" + issue +
                    "\r\nACK_string=OK\r\nNACK_string=ERR\r\n"
                    "[ComPort_Settings]\r\nComPort_BaudRate=9\r\nComPort_Databits=4\r\n"
                    "ComPort_FlowControl=0\r\nComPort_Parity=0\r\nComPort_Stopbits=2\r\n");
        };
        // A firmware file written with a Windows path is looked for in the project's folder.
        writeProject("File", "C:\\firmware\\fw.hex");
        seams->dialogs->answers.push_back(project);
        w->SpeedButton1->click();
        QCOMPARE(seams->boxes->shown.size(), size_t(1));
        QCOMPARE(seams->boxes->shown[0].text,
                 "File not exist!\r\n\r\n" + folder->filePath("fw.hex"));
        QCOMPARE(w->table().cell(colStatus, 2), QStringLiteral("file not exist"));

        QFile fw(folder->filePath("fw.hex"));
        QVERIFY(fw.open(QIODevice::WriteOnly));
        fw.write(":00000001FF\r\n");
        fw.close();
        seams->dialogs->answers.push_back(project);
        w->SpeedButton1->click();
        QCOMPARE(seams->boxes->shown.back().text,
                 "File not exist!\r\n\r\n" + folder->filePath("fw.chk"));
        QCOMPARE(w->table().cell(colIssue, 2), folder->filePath("fw.hex"));

        QFile chk(folder->filePath("fw.chk"));
        QVERIFY(chk.open(QIODevice::WriteOnly));
        chk.write("Checksum is: 0000");
        chk.close();
        seams->dialogs->answers.push_back(project);
        const size_t boxes = seams->boxes->shown.size();
        w->SpeedButton1->click();
        QCOMPARE(seams->boxes->shown.size(), boxes);
        QCOMPARE(w->lblExpectedCheckSum->text(), QStringLiteral("Expected "));
        QCOMPARE(w->lblCurrentProject->text(), QStringLiteral("line"));
        QCOMPARE(w->windowTitle(), QStringLiteral("Keldrin=> \"line\" Project (command file)"));

        // A binary firmware row is not checked here; the run reports it.
        writeProject("File_BINary", "/missing.hex");
        seams->dialogs->answers.push_back(project);
        w->SpeedButton1->click();
        QCOMPARE(seams->boxes->shown.size(), boxes);

        // A cancelled dialog changes nothing.
        const QString issue = w->table().cell(colIssue, 2);
        w->SpeedButton1->click();
        QCOMPARE(w->table().cell(colIssue, 2), issue);
        QCOMPARE(seams->boxes->shown.size(), boxes);
    }

    void programRunsTheProjectAndWritesTheSummary() {
        simtest::SimProcess device;
        QVERIFY(device.start({"--com", "9"}));
        newWindow();
        w->mnuDefaultClick();
        for (const char* f : {"board.cmd", "board.hex", "board.chk"})
            QVERIFY(QFile::copy(QString(EXAMPLES_DIR "/") + f, folder->filePath(f)));
        seams->dialogs->answers.push_back(folder->filePath("board.cmd"));
        w->SpeedButton1->click();
        w->SioPortComboBox3->RefillList();
        QVERIFY(pick(w->SioPortComboBox3, 9));
        bool blinkedDuringRun = false;
        QTimer probe;
        connect(&probe, &QTimer::timeout, this, [&] {
            if (w->JvBehaviorLabel->isVisible() && w->JvBehaviorLabel->isBlinking())
                blinkedDuringRun = true;
        });
        probe.start(50);
        // The refresh ticks every second; a busy machine may take longer to get there.
        QVERIFY(QTest::qWaitFor([&] { return w->SpeedButton3->isEnabled(); }, 10000));
        w->SpeedButton3->click();
        probe.stop();
        QVERIFY(blinkedDuringRun);
        QVERIFY(w->JvBehaviorLabel->isHidden());
        QVERIFY(!w->SioComPort1->IsOpen());  // "Program" closes the port again
        QCOMPARE(readAll(folder->filePath("Keldrin-Comm9.log")),
                 QByteArray("\r\nOK\r\nCalculated CHECKSUM:7B5F\r\n"));
        QVERIFY(w->isVisible());  // an operator's run leaves the program open
        device.stop();
    }
};

int main(int argc, char** argv) {
    Application app(argc, argv);
    ProductionTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "production_test.moc"
