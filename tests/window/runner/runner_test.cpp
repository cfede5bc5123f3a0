// Runs of the command table over a pseudo-terminal against keldrin-devsim: what each kind of
// row sends, how answers are judged, how a run ends, and what the operator sees and hears.

#include "runner/Runner.h"

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>

#include "SimClient.h"
#include "platform/FakeSeams.h"
#include "runner/CommandTable.h"
#include "runner/ProjectFile.h"
#include "serial/SioComPort.h"
#include "serial/discovery/TSioPortComboBox.h"
#include "serial/platform/PortMap.h"
#include "shell/Application.h"
#include "shell/TfrmMain.h"
#include "support/TestKit.h"
#include "terminal/CommunicationPage.h"
#include "terminal/Receiver.h"
#include "widgets/RadioGroup.h"
#include "widgets/StatusPanels.h"

using namespace keldrin;
using keldrin::testkit::readAll;

namespace {

struct Row {
    QString name, type, issue, ack, nack, timeOut;
};

const std::vector<platform::Tone> kEndMelody{{440, 180}, {440, 180}, {440, 180},
                                             {440, 180}, {440, 380}, {660, 380}};
const std::vector<platform::Tone> kErrorMelody{{700, 80}, {720, 80}, {740, 80},
                                               {760, 80}, {780, 80}, {400, 250}};

// How often `part` appears in `whole` as a contiguous run.
int countRuns(const std::vector<platform::Tone>& whole, const std::vector<platform::Tone>& part) {
    int n = 0;
    for (size_t i = 0; i + part.size() <= whole.size(); ++i)
        if (std::equal(part.begin(), part.end(), whole.begin() + long(i))) ++n;
    return n;
}

}  // namespace

class RunnerTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<platform::FakeSeams> seams;
    std::unique_ptr<QTemporaryDir> folder;
    std::unique_ptr<simtest::SimProcess> sim;
    std::unique_ptr<TfrmMain> w;
    int com = 20;
    QString wireLog, imageFile;

    Runner& run() { return *w->runner; }
    CommandTable& table() { return w->table(); }

    void startDevice(std::vector<std::string> faults = {}) {
        ++com;
        wireLog = folder->filePath("wire.log");
        imageFile = folder->filePath("image.bin");
        std::vector<std::string> args{"--com",   std::to_string(com),
                                      "--log",   wireLog.toStdString(),
                                      "--image", imageFile.toStdString()};
        args.insert(args.end(), faults.begin(), faults.end());
        sim = std::make_unique<simtest::SimProcess>();
        QVERIFY(sim->start(args));
        w->SioComPort1->SetComNumber(std::uint16_t(com));
        w->SioComPort1->SetBaudRate(serial::br115200);
        w->SioComPort1->Open();
        QVERIFY(w->SioComPort1->IsOpen());
    }
    // Waits until the device has taken at least `size` bytes: its log is written as it reads.
    bool waitForWire(qsizetype size) {
        return QTest::qWaitFor([&] { return readAll(wireLog).size() >= size; }, 10000);
    }
    // Ends the device so that its image is written.
    void stopDevice() {
        w->SioComPort1->Close();
        if (sim) QCOMPARE(sim->stop(), 0);
    }
    void setRows(const std::vector<Row>& rows) {
        for (int r = 1; r < table().rowCount(); ++r)
            for (int c = 0; c < kCommandColumnCount; ++c) table().setCell(c, r, QString());
        int r = 2;
        for (const Row& row : rows) {
            table().setCell(colName, r, row.name);
            table().setCell(colType, r, row.type);
            table().setCell(colIssue, r, row.issue);
            table().setCell(colAck, r, row.ack);
            table().setCell(colNack, r, row.nack);
            table().setCell(colTimeOut, r, row.timeOut);
            ++r;
        }
    }
    // The Status cells of the command rows, in order, after compaction.
    QStringList statuses(int rows) {
        QStringList out;
        for (int r = 2; r < 2 + rows; ++r) out << table().cell(colStatus, r);
        return out;
    }
    QStringList alertTexts() const { return testkit::alertMessages(*seams->alerts); }

  private slots:
    void initTestCase() {
        static QTemporaryDir mapDir;
        qputenv("KELDRIN_PORTS", mapDir.filePath("Keldrin.ports").toLocal8Bit());
    }
    void init() {
        testkit::enterSandbox(seams, folder);
        platform::setApplicationTitle(QStringLiteral("Keldrin"));
        w = std::make_unique<TfrmMain>(QStringList{"keldrin"});
        w->SpinEdit_DelayOnSent->setValue(0);
        w->show();
    }
    void cleanup() {
        if (w && w->SioComPort1->IsOpen()) w->SioComPort1->Close();
        if (sim) sim->stop();
        sim.reset();
        w.reset();
        testkit::leaveSandbox(seams, folder);
    }

    void theSampleProjectProgramsTheBoard() {
        startDevice();
        seams->dialogs->answers.push_back(QString(EXAMPLES_DIR "/board.cmd"));
        w->project->ActionOpenCommandSetExecute();
        w->SpinEdit_DelayOnSent->setValue(0);
        QCOMPARE(w->project->ProjectFolder, QString(EXAMPLES_DIR));
        // The project asks for 115200 baud; the port takes it while open.
        QCOMPARE(w->SioComPort1->BaudRate(), serial::br115200);
        QVERIFY(w->SioComPort1->IsOpen() || (w->SioComPort1->Open(), w->SioComPort1->IsOpen()));
        w->btnGo->click();

        const QStringList expected{"OK", "OK", "",   "OK", "OK", "",
                                   "OK", "OK", "OK", "OK", "OK", "OK"};
        QCOMPARE(statuses(12), expected);
        QCOMPARE(w->lblRealCheckSum->text(), QStringLiteral("Calculated CHECKSUM:7B5F"));
        QCOMPARE(w->lblExpectedCheckSum->text(), QStringLiteral("Expected Checksum: 7B5F"));
        QCOMPARE(run().ExpectedChecksum, QByteArray("7B5F"));
        // The checksum row's record was built from the expected checksum and written back.
        QCOMPARE(table().cell(colIssue, 12), QStringLiteral(":03000003127B5F0E"));
        // The Issue of the file rows now names the file in the project's folder.
        QCOMPARE(table().cell(colIssue, 5), QString(EXAMPLES_DIR "/board.hex"));
        QCOMPARE(table().cell(colIssue, 11), QString(EXAMPLES_DIR "/board.hex"));
        QVERIFY(alertTexts().contains("Congratulation! you win!"));
        QVERIFY(alertTexts().contains("All your commands had been executed!... see you later..."));
        QVERIFY(!w->btnGo->isHidden() && w->btnAbort->isHidden());
        stopDevice();
        // The device rebuilt exactly the firmware's data.
        QCOMPARE(readAll(imageFile), readAll(EXAMPLES_DIR "/board-data.txt"));
        const QByteArray wire = readAll(wireLog);
        QVERIFY(wire.startsWith("ID\rE\r:020000040000FA"));
        QVERIFY(wire.contains(QByteArray("=\x05@", 3)));  // Sync_1, Sync_2, then binary lines
    }

    void aRefusedCommandIsSentOnceMore() {
        startDevice({"--err-record", "1"});
        setRows({{"record", "Command", ":00000001FF", "OK", "ERR", "2"}});
        w->btnGo->click();
        QCOMPARE(statuses(1), QStringList{"OK"});
        stopDevice();
        QCOMPARE(readAll(wireLog), QByteArray(":00000001FF:00000001FF"));
    }

    void aSilentDeviceIsACommunicationErrorAfterAboutASecond() {
        startDevice({"--silent-from", "1"});
        setRows({{"ask", "Command", "ID!", "OK", "ERR", ""},
                 {"next", "Command", "E!", "OK", "ERR", "1"}});
        QElapsedTimer clock;
        clock.start();
        w->btnGo->click();
        const qint64 ms = clock.elapsed();
        // Two waits of one second each (the row is sent twice), then the failure; the upper
        // bound only tells "about a second" from a wait without end.
        QVERIFY2(ms >= 1900 && ms < 30000, qPrintable(QString::number(ms)));
        QCOMPARE(statuses(2), (QStringList{"Communication Error", ""}));
        QCOMPARE(countRuns(seams->tones->played, kErrorMelody), 1);
        QVERIFY(alertTexts().contains("Error!"));
        QVERIFY(!alertTexts().contains("All your commands had been executed!... see you later..."));
        QVERIFY(waitForWire(6));
        stopDevice();
        QCOMPARE(readAll(wireLog), QByteArray("ID\rID\r"));  // the next row never went out
    }

    void wrongAnswersFailUnlessBypassed() {
        startDevice();
        setRows({{"ask", "Command", "ID!", "NOPE", "NEVER", "1"}});
        w->btnGo->click();
        QCOMPARE(statuses(1), QStringList{"Wrong Answer - Error"});

        w->chkBox_BypassWrongAnswer->click();
        QVERIFY(w->chkBox_BypassWrongAnswer->isChecked());
        setRows({{"ask", "Command", "ID!", "NOPE", "NEVER", "1"}});
        w->btnGo->click();
        QCOMPARE(statuses(1), QStringList{"OK"});
    }

    void anAnswerHoldingBothStringsCountsAsAcknowledged() {
        startDevice();
        // "KELDRIN-SIM 1.0" then "OK": the refusal text "SIM" is there too.
        setRows({{"ask", "Command", "ID!", "OK", "SIM", "2"}});
        w->btnGo->click();
        QCOMPARE(statuses(1), QStringList{"OK"});
        // The same device answers a lower-case "ok" once: no match, the resend gets "OK".
        stopDevice();
        startDevice({"--lowercase-once"});
        setRows({{"ask", "Command", "E!", "OK", "ERR", "1"}});
        w->btnGo->click();
        QCOMPARE(statuses(1), QStringList{"OK"});
        stopDevice();
        QCOMPARE(readAll(wireLog), QByteArray("E\rE\r"));
    }

    // An answer that arrives a byte at a time is found across the blocks it came in, the
    // acknowledgement as well as the refusal.
    void answersSplitAcrossBlocksAreFound() {
        startDevice({"--split-ms", "15"});
        setRows({{"ask", "Command", "ID!", "DRIN-SIM", "NEVER", "5"}});
        w->btnGo->click();
        QCOMPARE(statuses(1), QStringList{"OK"});
        setRows({{"ask", "Command", "ID!", "NEVER", "IN-SI", "5"}});
        w->btnGo->click();
        QCOMPARE(statuses(1), QStringList{"RxNAck"});
    }

    void abortDuringAWaitLeavesTheRowDoing() {
        // The answer would come long after the abort, and the time-out later still.
        startDevice({"--delay", "8000"});
        setRows({{"slow", "Command", "ID!", "OK", "ERR", "20"},
                 {"next", "Command", "E!", "OK", "ERR", "2"}});
        QTimer::singleShot(400, w->btnAbort, &QPushButton::click);
        QElapsedTimer clock;
        clock.start();
        w->btnGo->click();
        // Ended by the abort: before the row's 20 s time-out (an answer, due 8 s after the
        // send, would have made the row "OK").
        QVERIFY(clock.elapsed() < 19000);
        QCOMPARE(statuses(2), (QStringList{"Doing...", ""}));
        QCOMPARE(w->lblCurrentAction->text(), QStringLiteral("Current Action: Stopped"));
        QVERIFY(countRuns(seams->tones->played, kEndMelody) >= 2);
        QVERIFY(!w->btnGo->isHidden() && w->btnAbort->isHidden());
        QVERIFY(waitForWire(3));
        stopDevice();
        QCOMPARE(readAll(wireLog), QByteArray("ID\r"));
    }

    void firmwareFilesThatAreMissingStopTheRun() {
        startDevice();
        // No firmware file: the run ends at once.
        setRows({{"fw", "File", "\\missing.hex", "OK", "ERR", "2"},
                 {"next", "Command", "E!", "OK", "ERR", "2"}});
        w->project->ProjectFolder = folder->path();
        w->btnGo->click();
        QCOMPARE(statuses(2), (QStringList{"file not exist", ""}));
        QCOMPARE(seams->boxes->shown.back().text,
                 "file not exist!\r\n\r\n" + folder->filePath("missing.hex"));
        QCOMPARE(seams->boxes->shown.back().icon, platform::BoxIcon::Error);

        // A firmware file without its checksum file: "File not exist!", the row stays "Doing...".
        QFile fw(folder->filePath("fw.hex"));
        QVERIFY(fw.open(QIODevice::WriteOnly));
        fw.write(":00000001FF\r\n");
        fw.close();
        setRows({{"fw", "File", "C:\\builds\\fw.hex", "OK", "ERR", "2"}});
        w->btnGo->click();
        QCOMPARE(statuses(1), QStringList{"Doing..."});
        QCOMPARE(table().cell(colIssue, 2), folder->filePath("fw.hex"));
        QCOMPARE(seams->boxes->shown.back().text,
                 "File not exist!\r\n\r\n" + folder->filePath("fw.chk"));
        QCOMPARE(run().CurrentStatusText, QByteArray("file not exist"));
        stopDevice();
        QCOMPARE(readAll(wireLog), QByteArray());
    }

    void anEmptyFirmwareFileSendsNothingAndTheRunGoesOn() {
        startDevice();
        QFile(folder->filePath("empty.hex")).open(QIODevice::WriteOnly);
        QFile chk(folder->filePath("empty.chk"));
        QVERIFY(chk.open(QIODevice::WriteOnly));
        chk.write("short");  // fewer than 14 characters: no expected checksum
        chk.close();
        w->project->ProjectFolder = folder->path();
        setRows({{"fw", "File", "/empty.hex", "OK", "ERR", "2"},
                 {"next", "Command", "E!", "OK", "ERR", "2"}});
        w->btnGo->click();
        QCOMPARE(statuses(2), (QStringList{"Doing...", "OK"}));
        QCOMPARE(w->lblExpectedCheckSum->text(), QStringLiteral("Expected Checksum: "));
        stopDevice();
        QCOMPARE(readAll(wireLog), QByteArray("E\r"));
    }

    void aFourLineFileMovesTheRowBarByQuarters() {
        startDevice();
        QFile fw(folder->filePath("four.hex"));
        QVERIFY(fw.open(QIODevice::WriteOnly));
        fw.write("\r\n:0100000001FE\r\n:0100010002FC\r\n:0100020003FA\r\n:00000001FF\r\n\r\n");
        fw.close();
        QFile chk(folder->filePath("four.chk"));
        QVERIFY(chk.open(QIODevice::WriteOnly));
        chk.write("Checksum is: 0006\r\n");
        chk.close();
        w->project->ProjectFolder = folder->path();
        setRows({{"fw", "File_BINary", "/four.hex", "OK", "ERR", "2"},
                 {"sum", "Command", "C!", "CHECKSUM", "ERR", "2"}});
        // The bar as each next line is put into the send field, and as the next row begins.
        QList<int> afterLines;
        int lines = 0;
        connect(w->communication->edEditSendData, &QLineEdit::textChanged, this, [&] {
            if (run().CurrentRow == 2 && lines++ > 0) afterLines << w->JvSpecialProgress1->value();
        });
        int maxInRow = 0;
        connect(w->JvSpecialProgress1, &QProgressBar::valueChanged, this, [&](int v) {
            if (run().CurrentRow == 2) maxInRow = qMax(maxInRow, v);
        });
        w->btnGo->click();
        QCOMPARE(statuses(2), (QStringList{"OK", "OK"}));
        // After the first three lines: 0, 25, 50; after the fourth 75; never 100 within the row.
        QCOMPARE(afterLines, (QList<int>{0, 25, 50}));
        QCOMPARE(maxInRow, 75);
        QCOMPARE(w->lblRealCheckSum->text(), QStringLiteral("Calculated CHECKSUM:0006"));
        QVERIFY(alertTexts().contains("Congratulation! you win!"));
        stopDevice();
        // Binary mode: "@" and the bytes; the blank lines at the ends were dropped.
        QCOMPARE(readAll(wireLog), QByteArray("@\x01\x00\x00\x00\x01\xfe@\x01\x00\x01\x00\x02\xfc"
                                              "@\x01\x00\x02\x00\x03\xfa@\x00\x00\x00\x01\xff"
                                              "C\r",
                                              29));
        QCOMPARE(readAll(imageFile), QByteArray("\x01\x02\x03"));
    }

    void realTimeNeverDecreasesAndTheTableIsTidiedFirst() {
        startDevice({"--delay", "500"});
        // The operator typed a name into row 1 and left empty rows between the commands.
        table().setCell(colName, 1, "first");
        table().setCell(colType, 1, "Command");
        table().setCell(colIssue, 1, "E!");
        table().setCell(colAck, 1, "OK");
        table().setCell(colNack, 1, "ERR");
        table().setCell(colTimeOut, 1, "3");
        table().setCell(colName, 4, "second");
        table().setCell(colType, 4, "Command");
        table().setCell(colIssue, 4, "E!");
        table().setCell(colAck, 4, "OK");
        table().setCell(colNack, 4, "ERR");
        table().setCell(colTimeOut, 4, "3");
        table().setCell(colIssue, 9, " \t ");  // blank: an empty row
        for (int r = 10; r < 14; ++r) {
            table().setCell(colName, r, QString("r%1").arg(r));
            table().setCell(colType, r, "Command");
            table().setCell(colIssue, r, "E!");
            table().setCell(colAck, r, "OK");
            table().setCell(colNack, r, "ERR");
            table().setCell(colTimeOut, r, "3");
        }
        w->btnGo->click();
        // Compacted: header, a new marker row, the six commands, one appended empty row.
        QCOMPARE(table().rowCount(), 9);
        QCOMPARE(table().cell(colName, 1), kMarkerName);
        QCOMPARE(table().cell(colName, 2), QStringLiteral("first"));
        QCOMPARE(table().cell(colName, 3), QStringLiteral("second"));
        QVERIFY(table().cell(colName, 8).isEmpty() && table().cell(colIssue, 8).isEmpty());
        QCOMPARE(statuses(6), (QStringList{"OK", "OK", "OK", "OK", "OK", "OK"}));
        int last = -1;
        for (int r = 2; r < 8; ++r) {
            const int t = table().cell(colRealTime, r).toInt();
            QVERIFY2(t >= last, qPrintable(QString("row %1: %2 after %3").arg(r).arg(t).arg(last)));
            last = t;
        }
        QCOMPARE(table().cell(colRealTime, 2), QStringLiteral("0"));
        // The sixth row starts at least 2.5 s after the first: the count has moved on, even
        // on a machine too busy to tick every second on time.
        QVERIFY(last >= 1);
        // The action label: the last name, then "....." for the empty row and the pass past it.
        QCOMPARE(w->lblCurrentAction->text(), QStringLiteral("Current Action: r13.........."));

        // In Advanced mode empty rows stay and every run adds one more.
        w->mnuAdvancedModeClick();
        const int rows = table().rowCount();
        table().setCell(colName, 5, QString());
        table().setCell(colType, 5, QString());
        table().setCell(colIssue, 5, QString());
        table().setCell(colAck, 5, QString());
        table().setCell(colNack, 5, QString());
        table().setCell(colTimeOut, 5, QString());
        table().setCell(colRealTime, 5, QString());
        w->btnGo->click();
        QCOMPARE(table().rowCount(), rows + 1);
        QCOMPARE(table().cell(colStatus, 5), QString());
    }

    void aRowWithoutAnswerStringsIsSentAndTheRunCompletes() {
        startDevice();
        w->mnuSimplifiedClick();
        w->pcMain_PageControl->setCurrentIndex(w->tabIndexOf("Communication"));  // gauge on
        setRows({{"ping", "Command", "ID!", "", "", ""},
                 {"sync", "Sync_1", "x", "", "", ""},
                 {"enq", "Sync_2", "x", "", "", ""}});
        w->btnGo->click();
        QCOMPARE(statuses(3), (QStringList{"Sent", "Sent", "Sent"}));
        QCOMPARE(w->SBar->panelText(7), QStringLiteral("100%"));
        QCOMPARE(alertTexts(),
                 QStringList{"All your commands had been executed!... see you later..."});
        QCOMPARE(countRuns(seams->tones->played, kEndMelody), 1);
        QCOMPARE(seams->tones->played.size(), kEndMelody.size());
        QCOMPARE(w->communication->chkHandleBinData->isChecked(), false);
        QVERIFY(waitForWire(5));
        stopDevice();
        QCOMPARE(readAll(wireLog), QByteArray("ID\r=\x05", 5));
    }

    void theLastRowsBytesReachTheDeviceBeforeTheRunEnds() {
        // A device on a plain pseudo-terminal that holds the line with XOFF while the last
        // row is sent: its bytes wait in the transmit queue when the rows are done.
        int master = -1, slave = -1;
        char name[256];
        QCOMPARE(openpty(&master, &slave, name, nullptr, nullptr), 0);
        termios raw{};
        tcgetattr(master, &raw);
        cfmakeraw(&raw);
        tcsetattr(master, TCSANOW, &raw);
        fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
        fcntl(slave, F_SETFL, fcntl(slave, F_GETFL) | O_NONBLOCK);
        QVERIFY(serial::WritePortMapEntries(qgetenv("KELDRIN_PORTS").toStdString(), {{60, name}}));
        w->SioComPort1->SetComNumber(60);
        w->SioComPort1->SetFlowControl(serial::fwXOnXOff);
        w->SioComPort1->Open();
        QVERIFY(w->SioComPort1->IsOpen());
        auto drainMaster = [&] {
            QByteArray got;
            char buf[256];
            for (ssize_t n; (n = ::read(master, buf, sizeof buf)) > 0;) got.append(buf, n);
            return got;
        };
        QCOMPARE(::write(master, "\x13", 1), ssize_t(1));  // XOFF
        // Output has stopped once the line takes no byte more from this side.
        QVERIFY(QTest::qWaitFor(
            [&] {
                if (::write(slave, "", 1) < 0 && errno == EAGAIN) return true;
                drainMaster();
                return false;
            },
            10000));
        drainMaster();
        // The device lets go of the line once the row has been sent, after a while.
        bool released = false;
        connect(w->StringGrid1->model(), &QAbstractItemModel::dataChanged, this, [&] {
            if (released || table().cell(colStatus, 2) != QLatin1String("Sent")) return;
            released = true;
            QTimer::singleShot(300, this, [&] { (void)!::write(master, "\x11", 1); });
        });
        setRows({{"reset", "Command", "BYE!", "", "", ""}});
        w->btnGo->click();
        QCOMPARE(statuses(1), QStringList{"Sent"});
        QVERIFY(released);
        QByteArray got;
        QVERIFY(QTest::qWaitFor(
            [&] {
                got += drainMaster();
                return got.size() >= 4;
            },
            10000));
        QCOMPARE(got, QByteArray("BYE\r"));
        w->SioComPort1->Close();
        ::close(master);
        ::close(slave);
    }

    void aStalledChecksumReportEndsAtItsTimeOut() {
        startDevice({"--checksum-stall"});
        setRows({{"sum", "Command", "C!", "CHECKSUM", "ERR", "1"}});
        QElapsedTimer clock;
        clock.start();
        w->btnGo->click();
        const qint64 ms = clock.elapsed();
        // Two waits of about a second each (one resend), not a wait without end.
        QVERIFY2(ms >= 1900 && ms < 30000, qPrintable(QString::number(ms)));
        QCOMPARE(statuses(1), QStringList{"Wrong Answer - Error"});
        QCOMPARE(w->lblRealCheckSum->text(), QStringLiteral("Device Reported=>: "));
    }

    void aTimeOutThatIsNotANumberStopsTheRunAndLeavesTheWindowIdle() {
        startDevice();
        setRows({{"bad", "Command", "ID!", "OK", "ERR", "2s"}});
        w->btnGo->click();
        QVERIFY(!w->btnGo->isHidden());
        QVERIFY(w->btnAbort->isHidden());
        QFile log(folder->filePath("_errors_log.txt"));
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QByteArray text = log.readAll();
        QVERIFY(text.contains("Exception class= EConvertError\r\n"));
        QVERIFY(text.contains("ExceptionMessage= '2s' is not a valid integer value\r\n"));
        QCOMPARE(statuses(1), QStringList{""});
        stopDevice();
        QCOMPARE(readAll(wireLog), QByteArray());
    }

    void aClosedPortIsNotReportedAsSent() {
        startDevice();
        w->SioComPort1->Close();
        setRows(
            {{"ask", "Command", "ID!", "OK", "ERR", "1"}, {"next", "Command", "E!", "", "", ""}});
        w->btnGo->click();
        QCOMPARE(statuses(2), (QStringList{"Doing...", ""}));
        QCOMPARE(w->lblCurrentAction->text(), QStringLiteral("Current Action: Stopped"));
        QVERIFY(alertTexts().contains("Please, open COM port first!"));

        // The run is over: its clock stops and stays stopped, also when the operator's port
        // picker starts the status refresh again (leaving the picker does).
        QVERIFY(!run().tmr4TimeCount.isActive());
        QVERIFY(w->LCDLabel1->isHidden());
        const QString abortCaption = w->btnAbort->text();
        QFocusEvent leave(QEvent::FocusOut, Qt::TabFocusReason);
        QApplication::sendEvent(w->SioPortComboBox3, &leave);
        QVERIFY(w->Timer4OFF->isActive());
        QSignalSpy ticks(w->Timer4OFF, &QTimer::timeout);
        QVERIFY(ticks.wait(10000));
        QVERIFY(w->LCDLabel1->isHidden());
        QCOMPARE(w->btnAbort->text(), abortCaption);
        QVERIFY(!run().tmr4TimeCount.isActive());
    }

    void theHiddenTimeOutFieldSetsTheAnswerTimer() {
        w->SpinEdit_Timer4CurrLineCommTimeOut->setValue(7);
        QCOMPARE(run().Timer4CurrLineCommTimeOut.interval(), 7000);
        w->SpinEdit_Timer4CurrLineCommTimeOut->setValue(1);
        QCOMPARE(run().Timer4CurrLineCommTimeOut.interval(), 1000);
    }

    void transmitLoggingChoicesWriteOneLinePerPass() {
        startDevice();
        w->RadioGroupTransmit->setItemIndex(2);
        setRows({{"ping", "Command", "ID!", "", "", ""}, {"erase", "Command", "E!", "", "", ""}});
        w->btnGo->click();
        const QByteArray log = readAll(folder->filePath("Keldrin traffic.log"));
        // Marker row, two commands, the appended empty row and the pass past the end.
        QCOMPARE(log, QByteArray("\t>> Transmitted:\t\r\n\t>> Transmitted:\tID!\r\n"
                                 "\t>> Transmitted:\tE!\r\n\t>> Transmitted:\t\r\n"
                                 "\t>> Transmitted:\t\r\n"));
    }
};

int main(int argc, char** argv) {
    Application app(argc, argv);
    RunnerTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "runner_test.moc"
