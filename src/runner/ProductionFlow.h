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
    std::function<QString()> commLogFileName;
};

// The run summary: an empty line, the Status of the last row from row 2 on whose Status is not
// empty (missing when there is none), and the device checksum caption.
QByteArray RunSummary(const CommandTable& table, const QString& realChecksumCaption);

class ProductionFlow : public QObject {
    Q_OBJECT
  public:
    explicit ProductionFlow(ProductionLinks links, QObject* parent = nullptr);

    void SpeedButton1Click();  // "Load Project=>"
    void SpeedButton3Click();  // "Program"

    // The summary of the last "Program" run; empty before one.
    QByteArray LastSummary;
    // Set when an unattended "Program" has finished and the program is to end.
    bool Finished = false;

    // The file-name part of a path written on Linux or Windows ("C:\dir\fw.hex" gives fw.hex).
    static QString fileNamePart(const QString& path);

  private:
    ProductionLinks l_;
};

}  // namespace keldrin
