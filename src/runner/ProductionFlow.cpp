#include "runner/ProductionFlow.h"

#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPlainTextEdit>
#include <QWidget>

#include "logging/LogFiles.h"
#include "platform/Convert.h"
#include "platform/EventPump.h"
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

QString ProductionFlow::fileNamePart(const QString& path) {
    QString p = path;
    p.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return p.mid(p.lastIndexOf(QLatin1Char('/')) + 1);
}

ProductionFlow::ProductionFlow(ProductionLinks links, QObject* parent)
    : QObject(parent), l_(std::move(links)) {}

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
                platform::ErrorBox(QStringLiteral("File not exist!\r\n\r\n") + path);
                l_.runner->BitBtnAbortClick();
                t.setCell(colStatus, r, QStringLiteral("file not exist"));
                l_.runner->CurrentStatusText = "file not exist";
                return;
            }
            t.setCell(colIssue, r, path);
            const QString chk = Runner::checksumFileName(path);
            if (!QFileInfo(chk).isFile()) {
                platform::ErrorBox(QStringLiteral("File not exist!\r\n\r\n") + chk);
                l_.runner->BitBtnAbortClick();
                t.setCell(colStatus, r, QStringLiteral("file not exist"));
                l_.runner->CurrentStatusText = "file not exist";
                return;
            }
            QFile f(chk);
            if (f.open(QIODevice::ReadOnly))
                l_.Memo4Help->setPlainText(QString::fromLatin1(f.readAll()));
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
            l_.openPort();
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
    BlinkingLabel* line = l_.JvBehaviorLabel;
    line->setText(
        QStringLiteral(" -----The program will stall for duration of your commands----- "));
    line->show();
    line->setEnabled(true);
    line->startBlinking();
    l_.mirrorPicker();
    PumpOnce();
    PumpOnce();
    // Whatever ends the run (a failed row, an abort, an error such as a pulled device or a
    // Time-Out that is not a number) the port is closed and the summary written; the error
    // still reaches the error log.
    guarded("SpeedButton3Click", [this] {
        l_.switchOn();
        l_.runner->btnGoClick();
    });
    PumpOnce();
    guarded("JvSwitch_CommPort_WASOff", [this] { l_.switchOff(); });
    PumpOnce();
    line->stopBlinking();
    line->setEnabled(false);
    line->hide();
    l_.window->setEnabled(true);
    LastSummary = RunSummary(*l_.table, l_.lblRealCheckSum->text());
    WriteWholeFile(l_.commLogFileName(), LastSummary);
    if (*l_.AutoRunMode) {
        guarded("ActionClosePortExecute", [this] { l_.closePort(); });
        Finished = true;
        l_.window->close();
    }
}

}  // namespace keldrin
