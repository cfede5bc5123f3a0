#include "runner/Runner.h"

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSpinBox>
#include <QWidget>

#include "logging/CaptureSwitch.h"
#include "logging/LogFiles.h"
#include "platform/Convert.h"
#include "platform/EventPump.h"
#include "platform/FileRead.h"
#include "platform/Guard.h"
#include "platform/Seams.h"
#include "runner/CommandTable.h"
#include "serial/SioComPort.h"
#include "terminal/CommunicationPage.h"
#include "terminal/Receiver.h"
#include "terminal/TextCodec.h"
#include "terminal/Transmitter.h"
#include "tools/HexRecordPage.h"
#include "widgets/BalloonHint.h"
#include "widgets/ByteLinesView.h"
#include "widgets/RadioGroup.h"
#include "widgets/StatusPanels.h"

namespace keldrin {

namespace {

const QByteArray kDoing = "Doing...";
const QByteArray kSent = "Sent";
const QByteArray kOk = "OK";
const QByteArray kNotReadable = "file not readable";

QByteArray latin(const QString& s) {
    return s.toLatin1();
}

// Every wait blocks for the next event at most this long before it looks again.
constexpr int kLongestBlockMs = 250;

}  // namespace

Runner::Runner(RunnerLinks links, QObject* parent) : QObject(parent), l_(std::move(links)) {
    tmr4TimeCount.setInterval(1000);
    Timer_4Progress.setInterval(500);
    Timer4CurrLineCommTimeOut.setSingleShot(true);
    Timer4CurrLineCommTimeOut.setInterval(1000);
    connectGuarded(&tmr4TimeCount, &QTimer::timeout, this, "tmr4TimeCountTimer",
                   [this] { tmr4TimeCountTimer(); });
    connectGuarded(&Timer_4Progress, &QTimer::timeout, this, "Timer_4ProgressTimer",
                   [this] { Timer_4ProgressTimer(); });
    connectGuarded(&Timer4CurrLineCommTimeOut, &QTimer::timeout, this,
                   "Timer4CurrLineCommTimeOutTimer", [this] { Timer4CurrLineCommTimeOutTimer(); });
    connectGuarded(l_.btnGo, &QPushButton::clicked, this, "btnGoClick", [this] { btnGoClick(); });
    connectGuarded(l_.btnAbort, &QPushButton::clicked, this, "BitBtnAbortClick",
                   [this] { BitBtnAbortClick(); });
    if (l_.chkBox_BypassWrongAnswer)
        connectGuarded(l_.chkBox_BypassWrongAnswer, &QCheckBox::clicked, this,
                       "chkBox_BypassWrongAnswerClick",
                       [this] { chkBox_BypassWrongAnswerClick(); });
    if (l_.SpinEdit_Timer4CurrLineCommTimeOut)
        connectGuarded(l_.SpinEdit_Timer4CurrLineCommTimeOut, &QSpinBox::valueChanged, this,
                       "SpinEdit_Timer4CurrLineCommTimeOutChange",
                       [this] { SpinEdit_Timer4CurrLineCommTimeOutChange(); });
}

// ---------------------------------------------------------------------------------------------
// Small pieces

QByteArray Runner::status(int r) const {
    return latin(l_.table->cell(colStatus, r));
}

void Runner::setStatus(int r, const QByteArray& text, bool alsoCurrent) {
    l_.table->setCell(colStatus, r, QString::fromLatin1(text));
    if (alsoCurrent) CurrentStatusText = text;
}

void Runner::setGauge(int pct) {
    if (*l_.StatusBarProgressFlag == 0) return;
    l_.SBar->setPanelText(7, QString::number(pct) + QLatin1Char('%'));
}

void Runner::setRowBar(int value) {
    l_.JvSpecialProgress1->setValue(qBound(0, value, 100));
}

void Runner::showAlert(const QString& text) {
    AlertText = text;
    Action_ShowAlertExecute();
}

void Runner::Action_ShowAlertExecute() {
    if (l_.window->isMinimized() || *l_.AutoRunMode) return;
    const auto picture = AlertText.contains(QLatin1String("Error"))
                             ? platform::AlertPicture::Error
                             : platform::AlertPicture::Information;
    const int visible = 1500 + int(QRandomGenerator::global()->bounded(500));
    platform::alerts().show(kHintHeader, AlertText, picture, visible);
}

void Runner::startRowBar(int r) {
    QString t = trimControls(l_.table->cell(colTimeOut, r));
    if (t.isEmpty()) t = QStringLiteral("0");
    StrToInt(t);  // must be a whole number before anything of the row happens
    setRowBar(0);
    RowProgress = 0.0f;
    Timer_4Progress.start();
}

void Runner::Timer_4ProgressTimer() {
    // A row with no time-out has no pace to fill the bar at; it stays where it is.
    bool ok = false;
    const int t = QString::fromLatin1(RowTimeOut).toInt(&ok);
    if (!ok || t <= 0) return;
    RowProgress += 50.0f / float(t);
    setRowBar(int(RowProgress) + 1);
}

void Runner::tmr4TimeCountTimer() {
    ++elapsedSeconds;
    l_.SBar->update();
    l_.dfsStatusBar1->update();
    l_.window->update();
}

void Runner::Timer4CurrLineCommTimeOutTimer() {
    Timer4CurrLineCommTimeOut.stop();
}

void Runner::chkBox_BypassWrongAnswerClick() {
    l_.chkBox_BypassWrongAnswer->setStyleSheet(l_.chkBox_BypassWrongAnswer->isChecked()
                                                   ? QStringLiteral("background: red;")
                                                   : QStringLiteral("background: #ffffe1;"));
}

void Runner::SpinEdit_Timer4CurrLineCommTimeOutChange() {
    Timer4CurrLineCommTimeOut.setInterval(l_.SpinEdit_Timer4CurrLineCommTimeOut->value() * 1000);
}

void Runner::ActionSentCommandLineExecute() {
    l_.transmitter->ActionSentCommandLineExecute();
}

void Runner::portNotOpen() {
    showAlert(QStringLiteral("Please, open COM port first!"));
    RowAck.clear();
    BitBtnAbortClick();
    Timer4CurrLineCommTimeOutTimer();
}

void Runner::endMelody() {
    for (int i = 0; i < 4; ++i) {
        platform::Beep(440, 180);
        platform::Sleep(100);
    }
    platform::Beep(440, 380);
    platform::Sleep(100);
    platform::Beep(660, 380);
    PumpOnce();
}

void Runner::clearLineAndRowBar() {
    if (!keepOutput_) l_.port->PurgeTransmit();
    l_.port->PurgeReceive();
    l_.communication->SynEditReceiving->clearLines();
    l_.receiver->LastRxBlock.clear();
    l_.receiver->RxAccumulator.clear();
    PumpOnce();
    setRowBar(0);
    RowProgress = 0.0f;
    Timer_4Progress.stop();
}

bool Runner::waitForOutputSent() {
    // The abort operation that ends every run purges the transmit queue: at the end of a
    // complete run that would cut off what the last rows sent without waiting for an answer.
    // The wait lasts as long as the bytes need at the line's speed, and five seconds more for
    // a reader that is slow to take them.
    serial::TSioComPort& port = *l_.port;
    const std::uint32_t waiting = port.IsOpen() ? port.WaitingOutputCount() : 0;
    if (waiting == 0) return true;
    const std::uint32_t baud = qMax<std::uint32_t>(port.ActualBaudRate(), 50);
    const qint64 limitMs = 5000 + qint64(waiting) * 10 * 1000 / baud;
    QElapsedTimer clock;
    clock.start();
    while (port.IsOpen() && port.WaitingOutputCount() > 0 && AbortFlag == 0 &&
           clock.elapsed() < limitMs && !(l_.terminating && l_.terminating()))
        WaitForEvents(10);
    return !port.IsOpen() || port.WaitingOutputCount() == 0;
}

// ---------------------------------------------------------------------------------------------
// The abort operation

void Runner::BitBtnAbortClick() {
    if (l_.Timer4OFF) l_.Timer4OFF->stop();
    l_.LCDLabel1->hide();
    PumpOnce();
    AbortFlag = 1000;
    l_.btnAbort->hide();
    l_.btnGo->show();
    l_.window->update();
    PumpOnce();
    l_.transmitter->resetSending();
    PumpOnce();
    l_.window->update();
    tmr4TimeCount.stop();
    if (l_.syncPortControls) l_.syncPortControls();
    Timer4CurrLineCommTimeOutTimer();
    if (l_.Timer4OFF) l_.Timer4OFF->stop();
    l_.LCDLabel1->hide();
    tmr4TimeCount.stop();
    elapsedSeconds = 0;
    clearLineAndRowBar();
    AbortFlag = 10;
    PumpOnce();
    endMelody();
}

// ---------------------------------------------------------------------------------------------
// The run

void Runner::btnGoClick() {
    if (running_) return;  // one run at a time; a second press during a run does nothing
    running_ = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{running_};
    LastRunCompleted = false;
    try {
        LastRunCompleted = run();
    } catch (...) {
        // The error goes on to the error log; the window is left idle, not with the abort
        // button up, so that "Program" and unattended runs can finish.
        guarded("BitBtnAbortClick", [this] { BitBtnAbortClick(); });
        throw;
    }
}

bool Runner::run() {
    CommandTable& t = *l_.table;
    if (l_.Timer4OFF) l_.Timer4OFF->start(1000);
    elapsedSeconds = 0;
    tmr4TimeCount.start();
    l_.lblRealCheckSum->setText(QStringLiteral("Device Reported=>: "));
    clearLineAndRowBar();
    AbortFlag = 0;
    RunStartTime = QDateTime::currentDateTime();
    if (!l_.mnuAdvancedMode->isChecked()) {
        int r = 0;
        while (r < t.rowCount()) {
            if (r > 0 && t.isRowEmpty(r))
                t.removeRow(r);
            else
                ++r;
        }
    }
    l_.btnAbort->show();
    l_.btnGo->hide();
    l_.window->update();
    PumpOnce();
    l_.communication->SynEditReceiving->clearLines();
    l_.communication->SynEditSending->clear();
    PumpEvents();
    if (t.cell(colName, 1) != kMarkerName) {
        t.insertRow(1);
        t.setCell(colName, 1, kMarkerName);
    }
    for (int c = colType; c < kCommandColumnCount; ++c) {
        t.setCell(c, 1, QString());
        PumpOnce();
    }
    t.appendRow();
    for (int r = 1; r < t.rowCount(); ++r) {
        t.setCell(colStatus, r, QString());
        PumpIfDue();
    }
    CurrentStatusText.clear();
    ReportedChecksum.clear();
    PumpOnce();
    l_.SBar->setPanelText(7, QStringLiteral("0%"));

    const int n = t.rowCount();
    for (int r = 1; r <= n; ++r) {
        CurrentRow = r;
        t.setCell(colRealTime, r, QString::number(elapsedSeconds));
        PumpIfDue();
        l_.communication->chkHandleBinData->setChecked(false);
        l_.communication->chkHandleBinData->setStyleSheet(QString());
        const QString name = t.cell(colName, r);
        if (!name.isEmpty())
            l_.lblCurrentAction->setText(QStringLiteral("Current Action: ") + name);
        else
            l_.lblCurrentAction->setText(l_.lblCurrentAction->text() + QStringLiteral("....."));
        if (AbortFlag != 0) {
            l_.lblCurrentAction->setText(QStringLiteral("Current Action: Stopped"));
            BitBtnAbortClick();
            return false;
        }
        if (l_.terminating && l_.terminating()) return false;
        setGauge(r * 100 / n);
        const QByteArray type = latin(trimControls(t.cell(colType, r)));
        const QByteArray issue = latin(trimControls(t.cell(colIssue, r)));
        if (l_.RadioGroupTransmit && l_.trafficLogFileName) {
            const int choice = l_.RadioGroupTransmit->itemIndex();
            if (choice == 2)
                AppendLogLine(l_.trafficLogFileName(), "\t>> Transmitted:\t" + issue);
            else if (choice == 3)
                AppendLogLine(l_.trafficLogFileName(),
                              "\t>> Transmitted:\t" + latin(trimControls(name)));
        }
        if (issue.isEmpty()) continue;
        bool goOn = true;
        if (type == "Command") {
            goOn = commandRow(r, issue);
        } else if (type.contains("File")) {
            goOn = fileRow(r, type, issue);
        } else if (type == "Action_CS") {
            goOn = checksumRow(r);
        } else if (type == "Sync_1") {
            goOn = syncRow(r, char(0x80));
        } else if (type == "Sync_2") {
            goOn = syncRow(r, char(0x81));
        } else if (type == "IntCommand_UseLog") {
            l_.communication->chkSaveRx2File->setChecked(true);
            l_.capture->chkSaveRx2FileClick();
        } else if (type == "IntCommand_NoLog") {
            l_.communication->chkSaveRx2File->setChecked(false);
            l_.capture->chkSaveRx2FileClick();
        }
        if (!goOn) return false;
    }

    // What has left the port must not be flushed after it either: a pseudo-terminal drops
    // what its reader has not read yet.
    keepOutput_ = waitForOutputSent();
    BitBtnAbortClick();
    keepOutput_ = false;
    showAlert(QStringLiteral("All your commands had been executed!... see you later..."));
    tmr4TimeCount.stop();
    PumpOnce();
    return true;
}

bool Runner::commandRow(int r, const QByteArray& issue) {
    startRowBar(r);
    setStatus(r, kDoing);
    l_.communication->SynEditSending->setPlainText(QString::fromLatin1(issue));
    RowAck = latin(trimControls(l_.table->cell(colAck, r)));
    RowNack = latin(trimControls(l_.table->cell(colNack, r)));
    PumpEvents();
    RowTimeOut = latin(trimControls(l_.table->cell(colTimeOut, r)));
    return sendAndVerify(r, issue);
}

bool Runner::checksumRow(int r) {
    startRowBar(r);
    HexRecordPage& hex = *l_.hexRecord;
    hex.edHexCommand->setText(QStringLiteral(":0300000312") +
                              QString::fromLatin1(ExpectedChecksum));
    hex.BitBtn2Click();
    hex.BitBtn3Click();
    const QByteArray issue = latin(hex.edHexCommand->text());
    PumpEvents();
    l_.table->setCell(colIssue, r, QString::fromLatin1(issue));
    setStatus(r, kDoing);
    l_.communication->SynEditSending->setPlainText(QString::fromLatin1(issue));
    RowAck = latin(trimControls(l_.table->cell(colAck, r)));
    RowNack = latin(trimControls(l_.table->cell(colNack, r)));
    RowTimeOut = latin(trimControls(l_.table->cell(colTimeOut, r)));
    return sendAndVerify(r, issue);
}

bool Runner::syncRow(int r, char marker) {
    startRowBar(r);
    PumpEvents();
    setStatus(r, kDoing);
    const QByteArray issue(1, marker);
    l_.communication->SynEditSending->setPlainText(QString::fromLatin1(issue));
    RowAck = latin(trimControls(l_.table->cell(colAck, r)));
    RowNack = latin(trimControls(l_.table->cell(colNack, r)));
    RowTimeOut = latin(trimControls(l_.table->cell(colTimeOut, r)));
    return sendAndVerify(r, issue);
}

bool Runner::sendAndVerify(int r, const QByteArray& issue) {
    ActionSentCommandLineExecute();
    ActionWait2AckExecute();
    if (status(r) == kOk || status(r) == kSent) return true;
    if (AbortFlag != 0) return false;
    l_.communication->SynEditSending->setPlainText(QString::fromLatin1(issue));
    ActionSentCommandLineExecute();
    ActionWait2AckExecute();
    if (status(r) == kOk || status(r) == kSent) return true;
    if (AbortFlag != 0) return false;
    rowFailure(r);
    return false;
}

void Runner::rowFailure(int r) {
    failureSignal(r);
    BitBtnAbortClick();
}

void Runner::unreadableFile(int r, const QString& error) {
    setStatus(r, kNotReadable);
    platform::ErrorBox(error);
    failureSignal(r);
    // The run ends here; the error reaches the error log and the run's caller aborts.
    throw EFOpenError(error.toStdString());
}

void Runner::failureSignal(int r) {
    PumpOnce();
    l_.table->setCell(colRealTime, r, QString::number(elapsedSeconds));
    for (unsigned f = 700; f <= 780; f += 20) platform::Beep(f, 80);
    PumpOnce();
    platform::Sleep(150);
    PumpOnce();
    platform::Beep(400, 250);
    PumpOnce();
    showAlert(QStringLiteral("Error!"));
    PumpEvents();
}

// ---------------------------------------------------------------------------------------------
// The answer wait

void Runner::ActionWait2AckExecute() {
    // A send that the abort operation abandoned (the port was closed) sent nothing: the row
    // keeps "Doing..." instead of passing as "Sent".
    if (AbortFlag != 0) {
        l_.lblCurrentAction->setText(QStringLiteral("Current Action: Stopped"));
        return;
    }
    if (RowAck.isEmpty() || RowNack.isEmpty()) {
        setStatus(CurrentRow, kSent, false);
        return;
    }
    verifiedWait();
}

bool Runner::verifiedWait() {
    QByteArray& acc = l_.receiver->RxAccumulator;
    Timer4CurrLineCommTimeOut.stop();
    if (RowTimeOut.isEmpty()) RowTimeOut = "1";
    const int seconds = StrToInt(QString::fromLatin1(RowTimeOut));
    Timer4CurrLineCommTimeOut.setInterval(seconds * 1000);
    Timer4CurrLineCommTimeOut.start();
    checksumDone_ = false;
    // The whole text since the last emptying counts while we wait; outside waits the receive
    // path keeps only its newest bytes.
    struct Hold {
        bool& held;
        bool before;
        ~Hold() { held = before; }
    } hold{l_.receiver->AccumulatorHeld, l_.receiver->AccumulatorHeld};
    l_.receiver->AccumulatorHeld = true;
    // Each look searches only what arrived since the last one, plus the few bytes before it
    // that a match could start in; text that shrank (emptied or trimmed) is searched again.
    // A match once found stays found while the text only grows.
    struct Search {
        const QByteArray& text;
        qsizetype searched = 0;
        bool hit = false;
        bool found(const QByteArray& what) {
            if (text.size() < searched) {
                searched = 0;
                hit = false;
            }
            if (!hit) {
                const qsizetype from = qMax<qsizetype>(0, searched - (what.size() - 1));
                hit = text.indexOf(what, from) >= 0;
            }
            searched = text.size();
            return hit;
        }
    } ackSearch{acc}, nackSearch{acc};

    // The loop sleeps in the event loop between looks; received blocks, the abort button and
    // the time-out all arrive as events and wake it.
    bool first = true;
    bool reportIncomplete = false;
    std::uint64_t blocksSeen = l_.receiver->RxBlockCount;
    while (Timer4CurrLineCommTimeOut.isActive()) {
        if (first)
            PumpIfDue();
        else
            WaitForEvents(qBound(1, Timer4CurrLineCommTimeOut.remainingTime(), kLongestBlockMs));
        first = false;
        if (AbortFlag != 0) {
            l_.lblCurrentAction->setText(QStringLiteral("Current Action: Stopped"));
            BitBtnAbortClick();
            return false;
        }
        const bool newData = l_.receiver->RxBlockCount != blocksSeen;
        blocksSeen = l_.receiver->RxBlockCount;
        if (ackSearch.found(RowAck)) {
            setStatus(CurrentRow, kOk);
            if (RowAck.toUpper() != "CHECKSUM") {
                acc.clear();
                Timer4CurrLineCommTimeOutTimer();
                return true;
            }
            const int at = acc.toUpper().indexOf("CHECKSUM");
            const QByteArray text = acc.mid(at, 100);
            if (text.size() >= 13) {
                const QByteArray excerpt = text.left(13);
                acc.clear();
                Timer4CurrLineCommTimeOutTimer();
                platform::Beep(440, 250);
                PumpOnce();
                platform::Beep(440, 100);
                PumpOnce();
                platform::Beep(660, 300);
                PumpOnce();
                showAlert(QStringLiteral("Congratulation!"));
                // The device's value is the last four characters of "CHECKSUM:XXXX".
                if (!ExpectedChecksum.isEmpty() &&
                    excerpt.right(4).toUpper() == ExpectedChecksum.toUpper())
                    showAlert(QStringLiteral("Congratulation! you win!"));
                l_.lblRealCheckSum->setText(QStringLiteral("Calculated ") +
                                            QString::fromLatin1(excerpt));
                Timer4CurrLineCommTimeOutTimer();
                Timer_4Progress.stop();
                setRowBar(100);
                checksumDone_ = true;
                ReportedChecksum = excerpt.right(4);
                return true;
            }
            // An incomplete report keeps the wait alive only while the device goes on sending:
            // a device that stops half way lets the time-out run out.
            reportIncomplete = true;
            if (newData) {
                Timer4CurrLineCommTimeOut.setInterval(seconds * 1000);
                Timer4CurrLineCommTimeOut.start();
            }
        } else {
            PumpIfDue();
        }
        if (nackSearch.found(RowNack)) {
            setStatus(CurrentRow, "RxNAck");
            acc.clear();
            Timer4CurrLineCommTimeOutTimer();
            return true;
        }
    }
    // A checksum report that never became whole is no acknowledgement: the expiry judges the
    // row like any other unanswered one.
    if (reportIncomplete && status(CurrentRow) == kOk) setStatus(CurrentRow, kDoing);
    if (acc.isEmpty()) {
        setStatus(CurrentRow, "Communication Error");
        Timer_4Progress.stop();
    }
    if (status(CurrentRow) == kDoing) {
        if (l_.chkBox_BypassWrongAnswer && l_.chkBox_BypassWrongAnswer->isChecked()) {
            setStatus(CurrentRow, kOk);
        } else {
            setStatus(CurrentRow, "Wrong Answer - Error");
            Timer_4Progress.stop();
        }
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// Firmware rows

QString Runner::completeIssuePath(const QString& issue, const QString& projectFolder) {
    if (QFileInfo(issue).isFile()) return issue;
    QString path = issue;
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (QFileInfo(path).isFile()) return path;
    static const QRegularExpression drive(QStringLiteral("^[A-Za-z]:"));
    if (drive.match(path).hasMatch()) {
        // A Windows path cannot exist here; the file is looked for in the project's folder.
        return projectFolder + QLatin1Char('/') + QFileInfo(path).fileName();
    }
    if (!path.startsWith(QLatin1Char('/'))) path.prepend(QLatin1Char('/'));
    return projectFolder + path;
}

QString Runner::checksumFileName(const QString& firmwarePath) {
    const QFileInfo info(firmwarePath);
    const QString name = info.fileName();
    const int dot = int(name.lastIndexOf(QLatin1Char('.')));
    const QString base = dot > 0 ? name.left(dot) : name;
    const QString folder = firmwarePath.left(firmwarePath.size() - name.size());
    return folder + base + QStringLiteral(".chk");
}

QByteArray Runner::checksumFromFileText(const QByteArray& text) {
    return Trim(text).mid(13, 4);
}

QList<QByteArray> Runner::firmwareLines(const QByteArray& content) {
    const QByteArray trimmed = Trim(content);
    QList<QByteArray> lines;
    if (trimmed.isEmpty()) return lines;
    QByteArray normalised = trimmed;
    normalised.replace("\r\n", "\n");
    normalised.replace('\r', '\n');
    lines = normalised.split('\n');
    for (QByteArray& line : lines) line = Trim(line);
    return lines;
}

bool Runner::fileRow(int r, const QByteArray& type, const QByteArray& issue) {
    CommunicationPage& comm = *l_.communication;
    CommandTable& t = *l_.table;
    if (type.contains("File_BINary")) {
        comm.chkHandleBinData->setChecked(true);
        comm.chkHandleBinData->setStyleSheet(QStringLiteral("background: red;"));
    }
    setStatus(r, kDoing);
    QString path = QString::fromLatin1(issue);
    if (!QFileInfo(path).isFile()) {
        path = completeIssuePath(path, l_.projectFolder ? l_.projectFolder() : QString());
        t.setCell(colIssue, r, path);
    }
    if (!QFileInfo(path).isFile()) {
        platform::ErrorBox(QStringLiteral("file not exist!\r\n\r\n") + path);
        BitBtnAbortClick();
        setStatus(r, "file not exist");
        return false;
    }
    QByteArray content;
    QString readError;
    // A file that is there but cannot be read must not pass as an empty one.
    if (!TryReadWholeFile(path, content, &readError)) unreadableFile(r, readError);
    content = Trim(content);
    comm.SynEditSending->setPlainText(QString::fromLatin1(content));
    RowAck = latin(trimControls(t.cell(colAck, r)));
    RowNack = latin(trimControls(t.cell(colNack, r)));
    const QString chk = checksumFileName(path);
    PumpEvents();
    platform::Sleep(100);
    PumpEvents();
    if (!QFileInfo(chk).isFile()) {
        platform::ErrorBox(QStringLiteral("File not exist!\r\n\r\n") + chk);
        BitBtnAbortClick();
        CurrentStatusText = "file not exist";
        return false;
    }
    QByteArray chkText;
    if (!TryReadWholeFile(chk, chkText, &readError)) unreadableFile(r, readError);
    // Lines joined by CR LF, as the memo gives them back.
    QByteArray joined = chkText;
    joined.replace("\r\n", "\n");
    joined.replace('\r', '\n');
    joined.replace("\n", "\r\n");
    l_.Memo4Help->setPlainText(QString::fromLatin1(joined));
    ExpectedChecksum = checksumFromFileText(joined);
    l_.lblExpectedCheckSum->setText(QStringLiteral("Expected Checksum: ") +
                                    QString::fromLatin1(ExpectedChecksum));
    RowTimeOut = latin(trimControls(t.cell(colTimeOut, r)));
    PumpEvents();
    platform::Sleep(100);
    PumpEvents();

    const QList<QByteArray> lines = firmwareLines(content);
    const int n = int(lines.size());
    for (int i = 0; i < n; ++i) {
        setStatus(r, kDoing);
        PumpIfDue();
        if (AbortFlag != 0) {
            BitBtnAbortClick();
            return false;
        }
        if (l_.terminating && l_.terminating()) return false;
        comm.edEditSendData->setText(QString::fromLatin1(lines.at(i)));
        PumpIfDue();
        if (comm.chkbx_TXAutoscroll->isChecked())
            comm.SynEditSending->verticalScrollBar()->setValue(i);
        PumpIfDue();
        l_.transmitter->ButtonSendOnceClick();
        ActionWait2AckExecute();
        if (CurrentStatusText != kOk && CurrentStatusText != kSent && CurrentStatusText != kDoing) {
            rowFailure(r);
            return false;
        }
        const int pct = i * 100 / n;
        setGauge(pct);
        Timer_4Progress.stop();
        setRowBar(pct);
    }
    return true;
}

}  // namespace keldrin
