#pragma once

// The window's side of the serial link: the "Opened" buttons and the switch that open and
// close the port, the open and close actions of the production flow, the port's open and close
// events, the settings dialog, the mirroring of the pickers and the status refresh.

#include <QObject>
#include <QString>
#include <functional>

class QAction;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTimer;
class QWidget;

namespace keldrin {

namespace serial {
class TSioComPort;
class TSioPortComboBox;
class TXComm;
}  // namespace serial
class LedLamp;
class Runner;
class StatusPanels;
class ToggleSwitch;
class TfrmMain;

class PortControl : public QObject {
    Q_OBJECT
  public:
    explicit PortControl(TfrmMain& window);
    ~PortControl() override;

    // "try2open", "opened", "closed" or empty.
    QString PortStateWord;
    // Where "Program" writes its run summary: beside the program, named after the title.
    QString CommLogFileName;
    // Why the last attempt to open the port failed ("Can't open device COM3"); empty after an
    // open that worked.
    QString LastOpenError;

    void SpeedButtonCommPortOpenCloseClick();
    void JvSwitch_CommPort_WASOn();
    void JvSwitch_CommPort_WASOff();
    void ActionOpenPortExecute();
    void ActionClosePortExecute();
    void SioComPort1PortOpen();
    void SioComPort1PortClose();
    void ButtonConfigClick();
    void SioPortComboBox1Change(serial::TSioPortComboBox* sender);
    void Timer4OFFTimer();
    void ActionCheckCommPortsExecute();

  private:
    void setOpenedButtons(bool pressed);
    // Opens the port unless it is open; from then on closing is what the actions allow.
    void openNow();
    void setSwitch(bool on);

    TfrmMain& w_;
    bool switchBusy_ = false;
};

}  // namespace keldrin
