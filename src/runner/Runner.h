#pragma once

// The run of a project: the command table from top to bottom over the open port, each row sent
// through the transmit routine and its answer awaited, the outcome written back into the table.
// The whole run is one handler that keeps the window alive by pumping events, so the abort
// button, received data and timers all act in the middle of it.

#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>

class QAction;
class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QWidget;

namespace keldrin {

namespace serial {
class TSioComPort;
}
class CaptureSwitch;
class CommandTable;
class CommunicationPage;
class HexRecordPage;
class RadioGroup;
class Receiver;
class StatusPanels;
class Transmitter;

struct RunnerLinks {
    QWidget* window = nullptr;
    CommandTable* table = nullptr;
    serial::TSioComPort* port = nullptr;
    Transmitter* transmitter = nullptr;
    Receiver* receiver = nullptr;
    CommunicationPage* communication = nullptr;
    HexRecordPage* hexRecord = nullptr;
    CaptureSwitch* capture = nullptr;
    QPushButton* btnGo = nullptr;
    QPushButton* btnAbort = nullptr;
    QLabel* lblCurrentAction = nullptr;
    QLabel* lblRealCheckSum = nullptr;
    QLabel* lblExpectedCheckSum = nullptr;
    QLabel* LCDLabel1 = nullptr;
    QProgressBar* JvSpecialProgress1 = nullptr;
    QPlainTextEdit* Memo4Help = nullptr;
    QCheckBox* chkBox_BypassWrongAnswer = nullptr;
    QSpinBox* SpinEdit_Timer4CurrLineCommTimeOut = nullptr;  // hidden, seconds
    QTimer* Timer4OFF = nullptr;
    StatusPanels* SBar = nullptr;
    StatusPanels* dfsStatusBar1 = nullptr;
    const int* StatusBarProgressFlag = nullptr;
    QAction* mnuAdvancedMode = nullptr;
    RadioGroup* RadioGroupTransmit = nullptr;
    const bool* AutoRunMode = nullptr;
    std::function<QString()> trafficLogFileName;
    std::function<QString()> projectFolder;
    // True once the program is closing: a run then simply stops.
    std::function<bool()> terminating;
    // Brings the open/close buttons and "Send Once" in line with the port (abort operation).
    std::function<void()> syncPortControls;
};

class Runner : public QObject {
    Q_OBJECT
  public:
    explicit Runner(RunnerLinks links, QObject* parent = nullptr);

    // Run state.
    int CurrentRow = 0;
    QByteArray CurrentStatusText;
    int AbortFlag = 0;
    QByteArray RowAck;
    QByteArray RowNack;
    QByteArray RowTimeOut;
    float RowProgress = 0.0f;
    QDateTime RunStartTime;
    QString AlertText;
    QByteArray ExpectedChecksum;
    // The four digits of the device's checksum report, once a whole report came in this run.
    QByteArray ReportedChecksum;

    QTimer tmr4TimeCount;  // elapsed whole seconds of the run, counted in `elapsedSeconds`
    int elapsedSeconds = 0;
    QTimer Timer_4Progress;
    QTimer Timer4CurrLineCommTimeOut;

    bool isRunning() const { return running_; }
    // The last run went through every row (no failure, abort or error ended it).
    bool LastRunCompleted = false;

    // Handlers.
    void btnGoClick();
    void BitBtnAbortClick();
    void ActionSentCommandLineExecute();
    void Action_ShowAlertExecute();
    void ActionWait2AckExecute();
    void Timer4CurrLineCommTimeOutTimer();
    void Timer_4ProgressTimer();
    void tmr4TimeCountTimer();
    void chkBox_BypassWrongAnswerClick();
    // The answer timer's interval follows the hidden field (every wait sets its own first).
    void SpinEdit_Timer4CurrLineCommTimeOutChange();
    // What the transmit routine does when it finds the port closed.
    void portNotOpen();
    // Lets the bytes the run has sent leave the port before its end purges the queue; true
    // when nothing is left waiting.
    bool waitForOutputSent();

    // Where the Issue of a firmware row points: as written, else completed with the project's
    // folder. "\" separates folders as well as "/", and a Windows drive path is looked for by
    // its file name in the project's folder.
    static QString completeIssuePath(const QString& issue, const QString& projectFolder);
    // The firmware file's name with its extension replaced by ".chk".
    static QString checksumFileName(const QString& firmwarePath);
    // Characters 14 to 17 of a checksum file's trimmed text.
    static QByteArray checksumFromFileText(const QByteArray& text);

  private:
    bool keepOutput_ = false;  // the end of a complete run: its output is not purged
    // Each returns false when the run has ended.
    bool run();
    bool commandRow(int r, const QByteArray& issue);
    bool checksumRow(int r);
    bool syncRow(int r, char marker);
    bool fileRow(int r, const QByteArray& type, const QByteArray& issue);
    bool sendAndVerify(int r, const QByteArray& issue);
    void rowFailure(int r);
    // The error melody and alert of a failed row, without the abort.
    void failureSignal(int r);
    [[noreturn]] void unreadableFile(int r, const QString& error);
    void startRowBar(int r);
    void setStatus(int r, const QByteArray& status, bool alsoCurrent = true);
    QByteArray status(int r) const;
    void setGauge(int pct);
    void setRowBar(int value);
    void showAlert(const QString& text);
    void checksumReport();
    bool verifiedWait();
    void endMelody();
    // Drops what waits on the line both ways, empties the receive window and buffers and puts
    // the per-row bar back to 0.
    void clearLineAndRowBar();

    RunnerLinks l_;
    bool running_ = false;
    bool checksumDone_ = false;
};

}  // namespace keldrin
