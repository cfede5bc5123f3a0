// What the operator's panel and the run summary promise: a failure is never reported as
// success. A stale verdict, a second "Program" during a run, a checksum that does not match,
// a project that stops loading half way; and the verdict the operator reads after a run.

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

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
#include "runner/Runner.h"
#include "serial/SioComPort.h"
#include "serial/discovery/TSioPortComboBox.h"
#include "shell/Application.h"
#include "shell/PortControl.h"
#include "shell/TfrmMain.h"
#include "support/TestKit.h"

using namespace keldrin;
using keldrin::testkit::pick;
using keldrin::testkit::readAll;

namespace {

// The list as it is now, then the pick.
bool pickFresh(serial::TSioPortComboBox* picker, int com) {
    picker->RefillList();
    return pick(picker, com);
}

void writeFile(const QString& path, const QByteArray& data) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(data);
}

// Who, erase, the firmware as text and the device's checksum report: the image is checked
// only through the report.
QByteArray reportOnlyProject() {
    return "[2]\r\nName=who\r\nType=Command\r\nIssue=ID!\r\nACK_string=OK\r\nNACK_string=ERR\r\n"
           "Time-Out=2\r\n"
           "[3]\r\nName=erase\r\nType=Command\r\nIssue=E!\r\nACK_string=OK\r\nNACK_string=ERR\r\n"
           "Time-Out=2\r\n"
           "[4]\r\nName=flash\r\nType=File\r\nIssue=/board.hex\r\nACK_string=OK\r\n"
           "NACK_string=ERR\r\nTime-Out=2\r\n"
           "[5]\r\nName=sum\r\nType=Command\r\nIssue=C!\r\nACK_string=CHECKSUM\r\n"
           "NACK_string=ERR\r\nTime-Out=3\r\n"
           "[Special_Settings]\r\nSpinEdit_DelayOnSent=0\r\n"
           "[ComPort_Settings]\r\nComPort_BaudRate=12\r\nComPort_Databits=4\r\n"
           "ComPort_FlowControl=0\r\nComPort_Parity=0\r\nComPort_Stopbits=0\r\n";
}

}  // namespace

class TrustTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<platform::FakeSeams> seams;
    std::unique_ptr<QTemporaryDir> folder;
    std::unique_ptr<TfrmMain> w;

    void newWindow() {
        w = std::make_unique<TfrmMain>(QStringList{"keldrin"});
        w->show();
        w->mnuDefaultClick();
    }
    // Copies the sample project's files; `chk` replaces the checksum file's text.
    QString copyExample(const QByteArray& project = {}, const QByteArray& chk = {}) {
        for (const char* f : {"board.cmd", "board.hex", "board.chk"})
            QFile::copy(QString(EXAMPLES_DIR "/") + f, folder->filePath(f));
        if (!project.isEmpty()) writeFile(folder->filePath("board.cmd"), project);
        if (!chk.isEmpty()) writeFile(folder->filePath("board.chk"), chk);
        return folder->filePath("board.cmd");
    }
    void load(const QString& project) {
        seams->dialogs->answers.push_back(project);
        w->SpeedButton1->click();
    }
    QString summary(int com) const {
        return QString::fromLatin1(
            readAll(folder->filePath(QString("Keldrin-Comm%1.log").arg(com))));
    }
    // Presses "Program" once it is enabled and waits for the run to end.
    void program() {
        QVERIFY(QTest::qWaitFor([&] { return w->SpeedButton3->isEnabled(); }, 10000));
        w->SpeedButton3->click();
        QVERIFY(!w->production->Running);
    }

  private slots:
    void init() {
        testkit::enterSandbox(seams, folder);
        platform::setApplicationTitle(QStringLiteral("Keldrin"));
        qputenv("KELDRIN_PORTS", folder->filePath("Keldrin.ports").toLocal8Bit());
    }
    void cleanup() {
        w.reset();
        testkit::leaveSandbox(seams, folder);
    }

    // A passing run, then "Program" on a port another program holds: the summary reads the
    // open error, never the previous "OK"; while a run goes it reads "Doing...".
    void aPortThatCannotBeOpenedNeverLeavesAnEarlierVerdict() {
        simtest::SimProcess device;
        QVERIFY(device.start({"--com", "21"}));
        newWindow();
        load(copyExample());
        QVERIFY(pickFresh(w->SioPortComboBox3, 21));
        QString seenDuringRun;
        QTimer probe;
        connect(&probe, &QTimer::timeout, this, [&] {
            if (w->production->Running && seenDuringRun.isEmpty() && w->SioComPort1->IsOpen())
                seenDuringRun = summary(21);
        });
        probe.start(20);
        program();
        probe.stop();
        QCOMPARE(seenDuringRun, QStringLiteral("\r\nDoing...\r\nDevice Reported=>: \r\n"));
        QCOMPARE(summary(21), QStringLiteral("\r\nOK\r\nCalculated CHECKSUM:7B5F\r\n"));
        QCOMPARE(w->production->LastExitStatus, int(RunExitPassed));

        const int holder = ::open(device.devicePath().c_str(), O_RDWR | O_NOCTTY);
        QVERIFY(holder >= 0);
        QCOMPARE(flock(holder, LOCK_EX | LOCK_NB), 0);
        program();
        ::close(holder);
        QCOMPARE(summary(21),
                 QStringLiteral("\r\nCan't open device COM21\r\nDevice Reported=>: \r\n"));
        QCOMPARE(w->production->LastExitStatus, int(RunExitNotStarted));
        QVERIFY(w->lblVerdict->isVisible());
        QCOMPARE(w->lblVerdict->property("passed").toBool(), false);
        device.stop();
    }

    // The summary goes to the file of the port "Program" was asked for, not to the file of the
    // port opened last.
    void theSummaryBelongsToThePortAskedFor() {
        simtest::SimProcess device;
        QVERIFY(device.start({"--com", "22"}));
        simtest::SimProcess other;
        QVERIFY(other.start({"--com", "23"}));
        newWindow();
        load(copyExample());
        QVERIFY(pickFresh(w->SioPortComboBox3, 22));
        program();
        QCOMPARE(summary(22), QStringLiteral("\r\nOK\r\nCalculated CHECKSUM:7B5F\r\n"));
        const int holder = ::open(other.devicePath().c_str(), O_RDWR | O_NOCTTY);
        QVERIFY(holder >= 0);
        QCOMPARE(flock(holder, LOCK_EX | LOCK_NB), 0);
        QVERIFY(pickFresh(w->SioPortComboBox3, 23));
        program();
        ::close(holder);
        QCOMPARE(summary(22), QStringLiteral("\r\nOK\r\nCalculated CHECKSUM:7B5F\r\n"));
        QCOMPARE(summary(23),
                 QStringLiteral("\r\nCan't open device COM23\r\nDevice Reported=>: \r\n"));
        device.stop();
        other.stop();
    }

    // A second press during a run is ignored, and the status refresh keeps the button off.
    void programIsIgnoredWhileARunGoes() {
        simtest::SimProcess device;
        QVERIFY(device.start({"--com", "24"}));
        newWindow();
        load(copyExample());
        QVERIFY(pickFresh(w->SioPortComboBox3, 24));
        bool checked = false;
        bool enabledDuringRun = false;
        QTimer probe;
        connect(&probe, &QTimer::timeout, this, [&] {
            if (!w->production->Running || !w->SioComPort1->IsOpen() || checked) return;
            checked = true;
            w->portControl->Timer4OFFTimer();
            enabledDuringRun = w->SpeedButton3->isEnabled();
            w->production->SpeedButton3Click();  // as a press that got through would
            QVERIFY(w->SioComPort1->IsOpen());
        });
        probe.start(20);
        program();
        probe.stop();
        QVERIFY(checked);
        QVERIFY(!enabledDuringRun);
        QCOMPARE(summary(24), QStringLiteral("\r\nOK\r\nCalculated CHECKSUM:7B5F\r\n"));
        QVERIFY(w->SpeedButton3->isEnabled());
        device.stop();
    }

    // The device reports another checksum than the .chk expects, and the project checks the
    // image only through that report: the summary keeps its lines, the verdict fails.
    void aWrongChecksumReportIsAFailure() {
        simtest::SimProcess device;
        QVERIFY(device.start({"--com", "15"}));
        newWindow();
        load(copyExample(reportOnlyProject(), "Checksum is: 7B5E"));
        QVERIFY(pickFresh(w->SioPortComboBox3, 15));
        program();
        QCOMPARE(summary(15), QStringLiteral("\r\nOK\r\nCalculated CHECKSUM:7B5F\r\n"));
        QCOMPARE(w->production->LastExitStatus, int(RunExitFailed));
        QCOMPARE(w->lblVerdict->property("passed").toBool(), false);
        QVERIFY(w->lblVerdict->text().contains("7B5E"));
        QVERIFY(w->lblVerdict->text().contains("7B5F"));

        // The same project with the right checksum passes.
        writeFile(folder->filePath("board.chk"), "Checksum is: 7B5F");
        program();
        QCOMPARE(w->production->LastExitStatus, int(RunExitPassed));
        QCOMPARE(w->lblVerdict->text(), QStringLiteral("OK"));
        QCOMPARE(w->lblVerdict->property("passed").toBool(), true);
        device.stop();
    }

    // After a failed run the operator's panel says so until the next run starts.
    void aFailedRunLeavesItsVerdictOnThePanel() {
        simtest::SimProcess device;
        QVERIFY(device.start({"--com", "16", "--err-record", "30"}));
        newWindow();
        w->resize(760, 620);
        load(copyExample());
        QVERIFY(pickFresh(w->SioPortComboBox3, 16));
        QVERIFY(w->lblVerdict->isHidden());
        program();
        QVERIFY(w->lblVerdict->isVisible());
        QCOMPARE(w->lblVerdict->property("passed").toBool(), false);
        QCOMPARE(w->lblVerdict->text(), QStringLiteral("RxNAck\nat \"Firmware as text\""));
        QVERIFY(w->lblVerdict->styleSheet().contains("#c62828"));
        QCOMPARE(w->production->LastExitStatus, int(RunExitFailed));
        // The picture of it (docs/screenshots when KELDRIN_SCREENSHOT_DIR names that folder).
        const QPixmap shot = w->grab();
        QVERIFY(!shot.isNull());
        const QString shots = qEnvironmentVariable("KELDRIN_SCREENSHOT_DIR", folder->path());
        QVERIFY(shot.save(shots + "/verdict-failed.png"));
        // The next run starts without it.
        bool hiddenDuringRun = false;
        QTimer probe;
        connect(&probe, &QTimer::timeout, this, [&] {
            if (w->production->Running && w->lblVerdict->isHidden()) hiddenDuringRun = true;
        });
        probe.start(20);
        program();
        QVERIFY(hiddenDuringRun);
        device.stop();
    }

    // A port setting that is not a number stops the load; the box names the file and the key.
    void aProjectThatStopsLoadingSaysWhere() {
        newWindow();
        const QString project = folder->filePath("broken.cmd");
        writeFile(project,
                  "[2]\r\nName=who\r\nType=Command\r\nIssue=ID!\r\n"
                  "[Special_Settings]\r\nSpinEdit_DelayOnSent=0\r\n"
                  "[ComPort_Settings]\r\nComPort_BaudRate=fast\r\nComPort_Databits=4\r\n");
        load(project);
        QCOMPARE(seams->boxes->shown.size(), size_t(1));
        const QString text = seams->boxes->shown[0].text;
        QVERIFY2(
            text.contains(project) && text.contains("ComPort_BaudRate") && text.contains("fast"),
            qPrintable(text));
        QVERIFY(!w->project->LoadError.isEmpty());
        QVERIFY(readAll(folder->filePath("_errors_log.txt")).contains("EConvertError"));
    }
};

int main(int argc, char** argv) {
    Application app(argc, argv);
    TrustTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "trust_test.moc"
