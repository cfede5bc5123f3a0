#include "shell/PortControl.h"

#include <QAction>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>

#include "logging/LogFiles.h"
#include "platform/EventPump.h"
#include "platform/Guard.h"
#include "platform/Seams.h"
#include "runner/ProductionFlow.h"
#include "runner/Runner.h"
#include "serial/SioComPort.h"
#include "serial/discovery/PortStatusReport.h"
#include "serial/discovery/TSioPortComboBox.h"
#include "serial/discovery/TXComm.h"
#include "shell/TfrmMain.h"
#include "terminal/CommunicationPage.h"
#include "terminal/Receiver.h"
#include "widgets/LedLamp.h"
#include "widgets/StatusPanels.h"
#include "widgets/TerminalView.h"
#include "widgets/ToggleSwitch.h"

namespace keldrin {

PortControl::PortControl(TfrmMain& window) : QObject(&window), w_(window) {
    connectGuarded(w_.SpeedButtonCommPortOpenClose, &QPushButton::clicked, this,
                   "SpeedButtonCommPortOpenCloseClick",
                   [this] { SpeedButtonCommPortOpenCloseClick(); });
    // The hidden twin acts through the first button's state.
    connectGuarded(w_.SpeedButtonCommPortOpenClose2, &QPushButton::clicked, this,
                   "SpeedButtonCommPortOpenCloseClick", [this](bool pressed) {
                       w_.SpeedButtonCommPortOpenClose->setChecked(pressed);
                       SpeedButtonCommPortOpenCloseClick();
                   });
    for (ToggleSwitch* s : {w_.JvSwitch_CommPort, w_.JvSwitch_CommPort_WAS})
        connectGuarded(s, &ToggleSwitch::toggled, this, "JvSwitch_CommPort", [this](bool on) {
            if (switchBusy_) return;
            if (on)
                JvSwitch_CommPort_WASOn();
            else
                JvSwitch_CommPort_WASOff();
        });
    for (QPushButton* b : {w_.ButtonConfig, w_.ButtonConfig2})
        connectGuarded(b, &QPushButton::clicked, this, "ButtonConfigClick",
                       [this] { ButtonConfigClick(); });
    connectGuarded(w_.MISettings, &QAction::triggered, this, "ButtonConfigClick",
                   [this] { ButtonConfigClick(); });
    connectGuarded(w_.ActionOpenPort, &QAction::triggered, this, "ActionOpenPortExecute",
                   [this] { ActionOpenPortExecute(); });
    connectGuarded(w_.ActionClosePort, &QAction::triggered, this, "ActionClosePortExecute",
                   [this] { ActionClosePortExecute(); });

    w_.SioComPort1->OnPortOpen = [this](serial::TSioComPort*) { SioComPort1PortOpen(); };
    w_.SioComPort1->OnPortClose = [this](serial::TSioComPort*) { SioComPort1PortClose(); };
    // SioComPort1OutBufFree has nothing to do: OnOutBufFree stays unassigned, so an emptied
    // ring costs the window thread nothing.

    for (serial::TSioPortComboBox* picker : {w_.SioPortComboBox1, w_.SioPortComboBox2})
        picker->OnChange = [this](serial::TSioPortComboBox* sender) {
            SioPortComboBox1Change(sender);
        };
    w_.SioPortComboBox3->OnClick = [this](serial::TSioPortComboBox*) { w_.Timer4OFF->start(); };
    w_.SioPortComboBox3->OnExit = [this](serial::TSioPortComboBox*) { w_.Timer4OFF->start(); };
    // Picking a port also allows opening it, so the first press of "Opened" opens the port.
    w_.SioPortComboBox3->OnChange = [this](serial::TSioPortComboBox*) {
        if (!w_.SioComPort1->IsOpen()) w_.ActionOpenPort->setEnabled(true);
    };
    w_.SioPortComboBox2->OnClick = [this](serial::TSioPortComboBox*) {
        w_.StringGrid1->setFocus();
    };
    w_.SioPortComboBox2->OnExit = [this](serial::TSioPortComboBox*) { w_.StringGrid1->setFocus(); };
}

PortControl::~PortControl() = default;

void PortControl::setOpenedButtons(bool pressed) {
    w_.SpeedButtonCommPortOpenClose->setChecked(pressed);
    w_.SpeedButtonCommPortOpenClose2->setChecked(pressed);
}

void PortControl::setSwitch(bool on) {
    if (w_.JvSwitch_CommPort->isChecked() == on) return;
    w_.JvSwitch_CommPort->setChecked(on);
}

void PortControl::SpeedButtonCommPortOpenCloseClick() {
    setSwitch(w_.SpeedButtonCommPortOpenClose->isChecked());
    if (!w_.SpeedButtonCommPortOpenClose->isChecked()) {
        PumpOnce();
        w_.update();
        if (w_.ActionClosePort->isEnabled()) {
            w_.SioComPort1->Close();
            PumpOnce();
            w_.ActionOpenPort->setEnabled(true);
            w_.ActionClosePort->setEnabled(false);
            PumpOnce();
        }
    } else if (w_.ActionOpenPort->isEnabled()) {
        PortStateWord = QStringLiteral("try2open");
        openNow();
        PumpOnce();
        PumpOnce();
    }
    w_.update();
}

void PortControl::JvSwitch_CommPort_WASOn() {
    w_.SpeedButtonCommPortOpenClose->setChecked(true);
    SpeedButtonCommPortOpenCloseClick();
    Timer4OFFTimer();
}

void PortControl::JvSwitch_CommPort_WASOff() {
    w_.SpeedButtonCommPortOpenClose->setChecked(false);
    SpeedButtonCommPortOpenCloseClick();
    Timer4OFFTimer();
}

void PortControl::openNow() {
    PumpOnce();
    PumpOnce();
    w_.receiver->ReceivedCharCount = 0;
    LastOpenError.clear();
    try {
        if (!w_.SioComPort1->IsOpen()) w_.SioComPort1->Open();
    } catch (const std::exception& e) {
        // Kept for the run summary of a "Program" that could not start; the error itself goes
        // on to the error log.
        LastOpenError = QString::fromLocal8Bit(e.what());
        throw;
    }
    w_.ActionOpenPort->setEnabled(false);
    w_.ActionClosePort->setEnabled(true);
}

void PortControl::ActionOpenPortExecute() {
    setOpenedButtons(true);
    openNow();
}

void PortControl::ActionClosePortExecute() {
    setOpenedButtons(false);
    if (w_.SioComPort1->IsOpen()) w_.SioComPort1->Close();
    PumpOnce();
    w_.ActionOpenPort->setEnabled(true);
    w_.ActionClosePort->setEnabled(false);
    PumpOnce();
}

void PortControl::SioComPort1PortOpen() {
    if (!w_.SpeedButtonCommPortOpenClose->isChecked()) return;
    w_.communication->SioTerminal1->setProperty("tag", 10);
    w_.runner->AlertText = QStringLiteral("CommPort opening.... Done");
    w_.runner->Action_ShowAlertExecute();
    PortStateWord = QStringLiteral("opened");
    setOpenedButtons(true);
    const QString settings = w_.SioComPort1->SettingsText();
    w_.dfsStatusBar1->setPanelText(3, settings);
    w_.SBar->setPanelText(0, settings);
    platform::setApplicationTitle(QStringLiteral("Keldrin-Comm") +
                                  QString::number(w_.SioComPort1->ComNumber()));
    PumpOnce();
    PumpOnce();
    CommLogFileName =
        platform::programFolder() + QLatin1Char('/') + platform::applicationTitle() + ".log";
    if (QFile::exists(CommLogFileName) && !QFile::remove(CommLogFileName)) platform::MessageBeep();
}

void PortControl::SioComPort1PortClose() {
    if (w_.communication->SioTerminal1->property("tag").toInt() == 0) return;
    w_.communication->SioTerminal1->setProperty("tag", 0);
    setOpenedButtons(false);
    const bool open = w_.SioComPort1->IsOpen();
    w_.communication->ButtonSendOnce->setVisible(open);
    w_.communication->GroupBoxSendInLoop->setVisible(open);
    w_.runner->AlertText = QStringLiteral("CommPort Closed");
    w_.runner->Action_ShowAlertExecute();
    PortStateWord = QStringLiteral("closed");
}

void PortControl::ButtonConfigClick() {
    // Reachable only while the port is open, as the buttons are enabled only then.
    if (!w_.SioComPort1->IsOpen()) return;
    w_.SioComPort1->RunConfigDialog(&w_);
}

void PortControl::SioPortComboBox1Change(serial::TSioPortComboBox*) {
    serial::TSioPortComboBox* one = w_.SioPortComboBox1;
    serial::TSioPortComboBox* two = w_.SioPortComboBox2;
    if (one->currentIndex() < 0)
        one->setCurrentIndex(two->currentIndex());
    else
        two->setCurrentIndex(one->currentIndex());
    if (one->currentIndex() >= 0) {
        w_.JvSwitch_CommPort->show();
        w_.SpeedButtonCommPortOpenClose->setEnabled(true);
        w_.SpeedButtonCommPortOpenClose2->setEnabled(true);
        // Picking a port allows opening it, so the first press of "Opened" opens the port.
        if (!w_.SioComPort1->IsOpen()) w_.ActionOpenPort->setEnabled(true);
        PumpOnce();
        w_.update();
        PumpOnce();
        one->update();
    }
    w_.StringGrid1->update();
    w_.update();
    w_.StringGrid1->setFocus();
}

void PortControl::Timer4OFFTimer() {
    PumpOnce();
    // The refresh also runs outside a run (the operator's port picker and the switch start it);
    // the elapsed time is a run's, so only a run going on shows it and lets it count.
    if (w_.runner->isRunning()) {
        const QDateTime start = w_.runner->RunStartTime;
        const QString elapsed = start.isValid()
                                    ? ClockText(QStringLiteral(":"), true, true,
                                                start.msecsTo(QDateTime::currentDateTime()))
                                    : ClockText(QStringLiteral(":"), true, true, qint64(0));
        w_.btnAbort->setText(QStringLiteral("Cancel - ") + elapsed);
        w_.LCDLabel1->setText(elapsed);
        w_.LCDLabel1->show();
    }
    // "Program" stays disabled while a run is going; a press would close the port under it.
    if (w_.runner->isRunning() || (w_.production && w_.production->Running))
        w_.SpeedButton3->setEnabled(false);
    else if (w_.SioPortComboBox3->SelectedComNumber() != 0)
        w_.SpeedButton3->setEnabled(true);
    PumpOnce();
    if (w_.JvSwitch_CommPort->isChecked() != w_.SpeedButtonCommPortOpenClose->isChecked()) {
        switchBusy_ = true;
        setSwitch(w_.SpeedButtonCommPortOpenClose->isChecked());
        switchBusy_ = false;
    }
    if (PortStateWord == QLatin1String("try2open")) {
        PortStateWord.clear();
        w_.runner->AlertText = QStringLiteral("Error! can not open Com");
        w_.runner->Action_ShowAlertExecute();
    }
    const bool open = w_.SioComPort1->IsOpen();
    w_.ButtonConfig->setEnabled(open);
    w_.ButtonConfig2->setEnabled(open);
    w_.MISettings->setEnabled(open);
    setOpenedButtons(open);
    w_.communication->ButtonSendOnce->setVisible(open);
    w_.communication->GroupBoxSendInLoop->setVisible(open);
    w_.ActionClosePort->setEnabled(open);
    w_.ActionOpenPort->setEnabled(!open);
    w_.dfsStatusBar1->setPanelText(
        0, open ? QStringLiteral("CommPort opened") : QStringLiteral("CommPort closed"));
    w_.dfsStatusBar1->setPanelText(
        3, open ? w_.SioComPort1->SettingsText() : QStringLiteral("Comm Closed"));
    w_.SBar->setPanelText(0, w_.dfsStatusBar1->panelText(3));
    w_.janLedCommError->hide();
    w_.SBar->update();
    w_.dfsStatusBar1->update();
}

void PortControl::ActionCheckCommPortsExecute() {
    serial::ActionCheckCommPortsExecute(*w_.Memo1, *w_.XComm1,
                                        w_.useupto255CommPorts1->isChecked());
}

}  // namespace keldrin
