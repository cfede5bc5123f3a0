#include "runner/ProductionFlow.h"

#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QWidget>

#include "logging/LogFiles.h"
#include "platform/Convert.h"
#include "platform/EventPump.h"
#include "platform/FileRead.h"
#include "platform/Guard.h"
#include "platform/Seams.h"
#include "runner/CommandTable.h"
#include "runner/ProjectFile.h"
#include "runner/Runner.h"
#include "widgets/BlinkingLabel.h"

namespace keldrin {

QByteArray RunSummary(const CommandTable& table, const QString& realChecksumCaption) {
    QByteArray summary;
    // The last row that has an outcome speaks for the run: rows that send nothing (the mode
    // switches) keep an empty Status and must not hide a failure after them.
    for (int r = table.rowCount() - 1; r >= 2; --r) {
        const QString status = table.cell(colStatus, r);
        if (!status.isEmpty()) {
            summary += "\r\n" + status.toLatin1();
            break;
        }
    }
    summary += "\r\n" + realChecksumCaption.toLatin1();
    return summary;
}

QString SummaryFileName(int port) {
    if (port <= 0) return QString();
    return platform::programFolder() + QStringLiteral("/Keldrin-Comm") + QString::number(port) +
           QStringLiteral(".log");
}

bool RunPassed(const QByteArray& summary, const QByteArray& expectedChecksum,
               const QByteArray& reportedChecksum) {
    const QList<QByteArray> lines = summary.split('\n');
    // "\r\n<status>\r\n<checksum caption>": the status is the second of three lines.
    if (lines.size() < 3) return false;
    const QByteArray status = lines.at(1).trimmed();
    if (status != "OK" && status != "Sent") return false;
    // The word "CHECKSUM" alone passes the report row; a line must not pass what the operator
    // would fail by reading the two values.
    if (!expectedChecksum.isEmpty() && !reportedChecksum.isEmpty())
        return expectedChecksum.toUpper() == reportedChecksum.toUpper();
    return true;
}

QString ProductionFlow::fileNamePart(const QString& path) {
    QString p = path;
    p.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return p.mid(p.lastIndexOf(QLatin1Char('/')) + 1);
}

ProductionFlow::ProductionFlow(ProductionLinks links, QObject* parent)
    : QObject(parent), l_(std::move(links)) {}

void ProductionFlow::refuseLoad(int row, const QString& message, const char* status) {
    platform::ErrorBox(message);
    l_.runner->BitBtnAbortClick();
    l_.table->setCell(colStatus, row, QString::fromLatin1(status));
    l_.runner->CurrentStatusText = status;
}

void ProductionFlow::SpeedButton1Click() {
    // A cancelled dialog loads nothing, and there is nothing new to check.
    if (!l_.project->ActionOpenCommandSetExecute()) return;
    const QString folder = QFileInfo(l_.project->ProjectFileName).absolutePath() + QLatin1Char('/');
    CommandTable& t = *l_.table;
    const int n = t.rowCount();
    for (int r = 1; r <= n; ++r) {
        if (t.cell(colType, r) == QLatin1String("File")) {
            const QString name = fileNamePart(trimControls(t.cell(colIssue, r)));
            const QString path = folder + name;
            if (name.isEmpty() || !QFileInfo(path).isFile()) {
                refuseLoad(r, QStringLiteral("File not exist!\r\n\r\n") + path, "file not exist");
                return;
            }
            // A firmware file that is there but cannot be read would go out as nothing.
            QByteArray firmware;
            QString error;
            if (!TryReadWholeFile(path, firmware, &error)) {
                refuseLoad(r, error, "file not readable");
                return;
            }
            t.setCell(colIssue, r, path);
            const QString chk = Runner::checksumFileName(path);
            if (!QFileInfo(chk).isFile()) {
                refuseLoad(r, QStringLiteral("File not exist!\r\n\r\n") + chk, "file not exist");
                return;
            }
            QByteArray chkText;
            if (!TryReadWholeFile(chk, chkText, &error)) {
                refuseLoad(r, error, "file not readable");
                return;
            }
            l_.Memo4Help->setPlainText(QString::fromLatin1(chkText));
            PumpEvents();
            l_.lblExpectedCheckSum->setText(QStringLiteral("Expected "));
        }
        PumpEvents();
    }
    l_.window->update();
    PumpOnce();
    PumpEvents();
    if (*l_.AutoRunMode) {
        if (!l_.CommandLinePort->isEmpty()) {
            PumpOnce();
            l_.selectPort(StrToInt(*l_.CommandLinePort));
            PumpOnce();
            l_.mirrorPicker();
            PumpOnce();
            for (int i = 0; i < 3; ++i) PumpEvents();
            // A port that does not open still goes on to "Program", which says so in the
            // summary.
            guarded("ActionOpenPortExecute", [this] { l_.openPort(); });
            PumpEvents();
        }
        PumpOnce();
        PumpEvents();
        PumpEvents();
        SpeedButton3Click();
        PumpEvents();
    }
    PumpOnce();
    PumpOnce();
}

void ProductionFlow::SpeedButton3Click() {
    // One run at a time: a second press would close the port under the running one.
    if (Running || l_.runner->isRunning()) return;
    Running = true;
    l_.SpeedButton3->setEnabled(false);
    l_.lblVerdict->hide();

    BlinkingLabel* line = l_.JvBehaviorLabel;
    line->setText(
        QStringLiteral(" -----The program will stall for duration of your commands----- "));
    line->show();
    line->setEnabled(true);
    line->startBlinking();
    l_.mirrorPicker();
    PumpOnce();
    PumpOnce();

    // The summary belongs to the port asked for, and from now on it says that a run is going:
    // a run that is killed, or never starts, cannot leave an earlier verdict behind.
    const int port = l_.requestedPort();
    const QString summaryFile = SummaryFileName(port);
    l_.lblRealCheckSum->setText(QStringLiteral("Device Reported=>: "));
    const QByteArray doing = "\r\nDoing...\r\n" + l_.lblRealCheckSum->text().toLatin1();
    if (!summaryFile.isEmpty()) WriteWholeFile(summaryFile, doing);

    // Whatever ends the run (a failed row, an abort, an error such as a pulled device or a
    // Time-Out that is not a number) the port is closed and the summary written; the error
    // still reaches the error log.
    guarded("SpeedButton3Click", [this] { l_.switchOn(); });
    const bool started = l_.portIsOpen();
    if (started) {
        // Opening the port removed the file; it says "Doing..." again until the run ends.
        if (!summaryFile.isEmpty()) WriteWholeFile(summaryFile, doing);
        guarded("SpeedButton3Click", [this] { l_.runner->btnGoClick(); });
    }
    PumpOnce();
    guarded("JvSwitch_CommPort_WASOff", [this] { l_.switchOff(); });
    PumpOnce();
    line->stopBlinking();
    line->setEnabled(false);
    line->hide();
    l_.window->setEnabled(true);
    if (started) {
        LastSummary = RunSummary(*l_.table, l_.lblRealCheckSum->text());
        // A run stopped between two rows has no row in "Doing...", and the rows it never
        // reached have no Status: its last outcome must not read as the verdict of the job.
        if (!l_.runner->LastRunCompleted) {
            const QList<QByteArray> lines = LastSummary.split('\n');
            const QByteArray status = lines.size() >= 3 ? lines.at(1).trimmed() : QByteArray();
            if (status.isEmpty() || status == "OK" || status == "Sent")
                LastSummary = "\r\nDoing...\r\n" + l_.lblRealCheckSum->text().toLatin1();
        }
        const bool passed =
            RunPassed(LastSummary, l_.runner->ExpectedChecksum, l_.runner->ReportedChecksum);
        LastExitStatus = passed ? RunExitPassed : RunExitFailed;
        showVerdict(passed, LastSummary);
    } else {
        QString openError = l_.lastOpenError();
        if (openError.isEmpty()) openError = QStringLiteral("Can't open device COM%1").arg(port);
        LastSummary =
            "\r\n" + openError.toLatin1() + "\r\n" + l_.lblRealCheckSum->text().toLatin1();
        LastExitStatus = RunExitNotStarted;
        showVerdict(false, LastSummary);
    }
    // With no port there is no file to write: the writer says so.
    WriteWholeFile(summaryFile, LastSummary);
    Running = false;
    if (l_.requestedPort() != 0) l_.SpeedButton3->setEnabled(true);
    if (*l_.AutoRunMode) {
        guarded("ActionClosePortExecute", [this] { l_.closePort(); });
        Finished = true;
        l_.window->close();
    }
}

QString ProductionFlow::verdictRowName() const {
    const CommandTable& t = *l_.table;
    for (int r = t.rowCount() - 1; r >= 2; --r)
        if (!t.cell(colStatus, r).isEmpty()) return t.cell(colName, r);
    return QString();
}

void ProductionFlow::showVerdict(bool passed, const QByteArray& summary) {
    const QList<QByteArray> lines = summary.split('\n');
    QString text = lines.size() >= 3 ? QString::fromLatin1(lines.at(1).trimmed()) : QString();
    if (text.isEmpty()) text = QStringLiteral("No outcome");
    const Runner& runner = *l_.runner;
    const bool checksumMismatch =
        !passed && (text == QLatin1String("OK") || text == QLatin1String("Sent"));
    if (checksumMismatch) {
        text = QStringLiteral("Checksum mismatch: expected %1, device %2")
                   .arg(QString::fromLatin1(runner.ExpectedChecksum),
                        QString::fromLatin1(runner.ReportedChecksum));
    } else if (!passed) {
        const QString row = verdictRowName();
        if (!row.isEmpty() && LastExitStatus != RunExitNotStarted)
            text += QStringLiteral("\n") + QStringLiteral("at \"%1\"").arg(row);
    }
    l_.lblVerdict->setText(text);
    l_.lblVerdict->setProperty("passed", passed);
    l_.lblVerdict->setStyleSheet(
        passed ? QStringLiteral("QLabel { background: #1f9d3a; color: white; }")
               : QStringLiteral("QLabel { background: #c62828; color: white; }"));
    l_.lblVerdict->show();
}

}  // namespace keldrin
