#pragma once

// The receive path: every block the port hands over goes into the two receive buffers the run
// reads, into the capture file while capture is on, and otherwise into the receive window, the
// counter, the tones and the traffic log.

#include <QByteArray>
#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>

class QCheckBox;

namespace keldrin {

namespace serial {
class TSioComPort;
}
class CommunicationPage;
class RadioGroup;

struct ReceiveLinks {
    serial::TSioComPort* port = nullptr;
    QCheckBox* chkRemoveASCII_cntrlCharsRX = nullptr;  // "CommPort" tab
    QCheckBox* CheckBoxBeepOnReceive = nullptr;        // "CommPort" tab
    RadioGroup* RadioGroupReceive = nullptr;           // "Logging" tab
    std::function<QString()> rxLogFileName;            // the capture file
    std::function<QString()> trafficLogFileName;
    std::function<void(const QString&)> showReceivedCount;  // status-bar panel 5
};

class Receiver : public QObject {
    Q_OBJECT
  public:
    Receiver(CommunicationPage& page, ReceiveLinks links, QObject* parent = nullptr);

    QByteArray LastRxBlock;
    QByteArray RxAccumulator;
    std::uint32_t ReceivedCharCount = 0;
    // Blocks handled so far, so a waiting loop can tell whether anything arrived meanwhile.
    std::uint64_t RxBlockCount = 0;
    // Outside an answer wait nothing else empties RxAccumulator, so it keeps only its newest
    // kAccumulatorKeep bytes there (trimmed back to that once it holds twice as many): far
    // more than any answer a next wait looks for. A wait sets AccumulatorHeld and sees every
    // byte received since it was last emptied.
    static constexpr qsizetype kAccumulatorKeep = 64 * 1024;
    bool AccumulatorHeld = false;

    void SioComPort1DataRecived(std::uint32_t count);
    void SioTerminal1ProcessChar(char& ch);
    void JvLabel1DblClick();
    void SynEditReceivingDblClick();
    void chkBox_ShowSpecialCharsClick();

    // Byte codes of a line as the code display shows them: "-$41-$54-$0D-$0A".
    static QString codeText(const QByteArray& line);

  private:
    CommunicationPage& page_;
    ReceiveLinks links_;
};

}  // namespace keldrin
