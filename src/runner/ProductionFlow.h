#pragma once

// The operator's path on the production panel: "Load Project=>" loads a project and checks
// that every firmware file and its checksum file lie in the project's folder; "Program" opens
// the port, runs the table, closes the port and writes the run summary. An unattended start
// drives the same two operations.

#include <QByteArray>
#include <QObject>
#include <QString>
#include <functional>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QWidget;

namespace keldrin {

class BlinkingLabel;
class CommandTable;
class ProjectFile;
class Runner;

struct ProductionLinks {
    QWidget* window = nullptr;
    CommandTable* table = nullptr;
    ProjectFile* project = nullptr;
    Runner* runner = nullptr;
    QLabel* lblExpectedCheckSum = nullptr;
    QLabel* lblRealCheckSum = nullptr;
    QLabel* lblVerdict = nullptr;         // the verdict of the last run, until the next starts
    QPushButton* SpeedButton3 = nullptr;  // "Program"
    QPlainTextEdit* Memo4Help = nullptr;
    BlinkingLabel* JvBehaviorLabel = nullptr;
    const bool* AutoRunMode = nullptr;
    const QString* CommandLinePort = nullptr;
    // Sets the port number of the production picker and of the port object.
    std::function<void(int)> selectPort;
    // Gives the project page's picker the production picker's selection.
    std::function<void()> mirrorPicker;
    std::function<void()> openPort;   // the open action
    std::function<void()> closePort;  // the close action
    std::function<void()> switchOn;   // the port switch turned on
    std::function<void()> switchOff;  // the port switch turned off
    // The port number chosen in the production picker (0: none).
    std::function<int()> requestedPort;
    std::function<bool()> portIsOpen;
    std::function<QString()> lastOpenError;  // why the last open failed
};

// The run summary: an empty line, the Status of the last row from row 2 on whose Status is not
// empty (missing when there is none), and the device checksum caption.
QByteArray RunSummary(const CommandTable& table, const QString& realChecksumCaption);

// Where "Program" writes the summary of a run on COM `port`: beside the program,
// "Keldrin-Comm<port>.log". Empty for no port.
QString SummaryFileName(int port);

// Whether a run passed: the summary's second line is "OK" or "Sent" and, when the run has an
// expected checksum and the device reported one whole, the two are equal.
bool RunPassed(const QByteArray& summary, const QByteArray& expectedChecksum,
               const QByteArray& reportedChecksum);

// Exit status of an unattended run: 0 passed, 1 failed, 2 could not start.
enum RunExit { RunExitPassed = 0, RunExitFailed = 1, RunExitNotStarted = 2 };
class ProductionFlow : public QObject {
    Q_OBJECT
  public:
    explicit ProductionFlow(ProductionLinks links, QObject* parent = nullptr);

    void SpeedButton1Click();  // "Load Project=>"
    void SpeedButton3Click();  // "Program"

    // The summary of the last "Program" run; empty before one.
    QByteArray LastSummary;
    // Exit status the last "Program" run stands for.
    int LastExitStatus = RunExitFailed;
    // Set when an unattended "Program" has finished and the program is to end.
    bool Finished = false;
    // A "Program" run is going: another press is ignored.
    bool Running = false;

    // The file-name part of a path written on Linux or Windows ("C:\dir\fw.hex" gives fw.hex).
    static QString fileNamePart(const QString& path);

  private:
    // Shows the verdict of a finished run on the operator's panel.
    void showVerdict(bool passed, const QByteArray& summary);
    // The failing row's name for the verdict: the last row from row 2 on that has a Status.
    QString verdictRowName() const;
    // Stops a load whose firmware or checksum file is missing or unreadable.
    void refuseLoad(int row, const QString& message, const char* status);

    ProductionLinks l_;
};

}  // namespace keldrin
