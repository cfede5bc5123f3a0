#pragma once

// The transmit routine behind "Send Once" and everything on the "Communication" tab that feeds
// it: the send field with its escape language, binary mode, the loop, the sending list and the
// letter case. It is the only path by which the program writes to the port.

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <functional>

class QCheckBox;
class QSpinBox;

namespace keldrin {

namespace serial {
class TSioComPort;
}
class CommunicationPage;
class RadioGroup;

// What the transmit routine needs from outside the tab.
struct TransmitLinks {
    serial::TSioComPort* port = nullptr;
    QCheckBox* CheckBoxBeepOnSend = nullptr;   // "CommPort" tab
    QSpinBox* SpinEdit_DelayOnSent = nullptr;  // "Project" tab
    RadioGroup* RadioGroupTransmit = nullptr;  // "Logging" tab
    std::function<QString()> trafficLogFileName;
    std::function<void(const QString&)> showSentCount;  // status-bar panel 2
    std::function<void(const QString&)> showListName;   // status-bar panel 7
    // A send found the port closed: the alert, the expected answer and the answer timer.
    std::function<void()> portNotOpen;
    // The abort operation of a run (bound to BitBtnAbort as well).
    std::function<void()> abort;
};

class Transmitter : public QObject {
    Q_OBJECT
  public:
    Transmitter(CommunicationPage& page, TransmitLinks links, QObject* parent = nullptr);

    // Sent characters since start; never reset.
    std::uint32_t SentCharCount = 0;

    // The transmit routine. A send asked for while another one runs (a loop tick, Enter or a
    // middle click during its event pumping) waits: it runs right after the current send, so
    // the bytes of two sends never interleave on the wire. (A loop tick during a send is
    // skipped instead: the loop sends again at its next tick.)
    void ButtonSendOnceClick();
    void edEditSendDataKeyPress(int key);
    void SynEditSendingMouseDown(Qt::MouseButton button);
    void SynEditSendingDblClick();
    void edEditSendDataDblClick();
    void SynEditSendingChange();
    void ButtonPleaseSaveClick();
    void JvLabel2DblClick();
    void janToggle1ToggleChange();
    void SpinEdit4LoopChange();
    void Timer4LoopTimer();
    void RadioButtonForceLowCaseClick();
    void RadioButton1Click();
    void RadioButton2Enter();
    // What the run uses to send the sending list's current line.
    void ActionSentCommandLineExecute();

    // Resets the tab after a send or an abort: loop off, send button enabled, abort hidden.
    void resetSending();
    bool isSending() const { return sending_; }

    // The bytes the send field holds (characters past Latin-1 become 0xFF, which is skipped).
    static QByteArray fieldBytes(const QString& text);

  private:
    void transmit();
    void applyCase();
    void writeByte(char byte);

    CommunicationPage& page_;
    TransmitLinks links_;
    bool sending_ = false;
    int pendingSends_ = 0;
    enum class Case { Normal, Lower, Upper } case_ = Case::Normal;
    QTimer loopProgress_;
    QElapsedTimer loopClock_;
};

}  // namespace keldrin
