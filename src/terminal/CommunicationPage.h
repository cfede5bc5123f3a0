#pragma once

// The "Communication" tab: the receive window with its options above, the send field, the
// send buttons, loop sending and the sending list below.

#include <QObject>
#include <QTimer>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QWidget;

namespace keldrin {

class ByteLinesView;
class LedLamp;
class TerminalView;
class ToggleSwitch;

class CommunicationPage : public QObject {
    Q_OBJECT
  public:
    // Creates the controls inside `sheet`; the hidden terminal view goes into `terminalParent`.
    CommunicationPage(QWidget* sheet, QWidget* terminalParent);

    // Receive side.
    ByteLinesView* SynEditReceiving;
    QLabel* JvLabel1;  // "Receive Window", double click clears
    QSpinBox* SpinEdit_RX_maxLines;
    QCheckBox* chkbx_RXAutoscroll;
    QCheckBox* chkSaveRx2File;
    QCheckBox* chkBox_ShowSpecialChars;
    TerminalView* SioTerminal1;

    // Send side.
    QLineEdit* edEditSendData;
    QLabel* StaticText1;
    QPushButton* ButtonSendOnce;
    QPushButton* BitBtnAbort;
    QGroupBox* GroupBoxSendInLoop;
    ToggleSwitch* janToggle1;
    QSpinBox* SpinEdit4Loop;
    LedLamp* JvLED1;
    QProgressBar* JvWaitingProgress1;
    QTimer* Timer4Loop;
    QRadioButton* RadioButtonForceLowCase;
    QRadioButton* RadioButton1;  // "Force CAPITAL Case"
    QRadioButton* RadioButton2;  // "normal Case"
    QPlainTextEdit* SynEditSending;
    QCheckBox* chkbx_TXAutoscroll;
    QPushButton* ButtonPleaseSave;
    QLabel* JvLabel2;  // "Transmit", double click clears
    QCheckBox* chkHandleBinData;
};

}  // namespace keldrin
