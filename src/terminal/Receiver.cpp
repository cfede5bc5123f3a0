#include "terminal/Receiver.h"

#include <QCheckBox>
#include <QEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QSpinBox>

#include "logging/LogFiles.h"
#include "platform/EventPump.h"
#include "platform/Guard.h"
#include "platform/Seams.h"
#include "serial/SioComPort.h"
#include "terminal/CommunicationPage.h"
#include "terminal/TextCodec.h"
#include "widgets/ByteLinesView.h"
#include "widgets/RadioGroup.h"
#include "widgets/TerminalView.h"

namespace keldrin {

namespace {

// Trims the ends of the accumulated text without copying the rest: only the new block's end
// and, rarely, a run of blanks at the start have to move.
void trimInPlace(QByteArray& text) {
    qsizetype end = text.size();
    while (end > 0 && static_cast<unsigned char>(text.at(end - 1)) <= 32) --end;
    text.truncate(end);
    qsizetype begin = 0;
    while (begin < text.size() && static_cast<unsigned char>(text.at(begin)) <= 32) ++begin;
    if (begin > 0) text.remove(0, begin);
}

class DoubleClickTap : public QObject {
  public:
    std::function<void()> onDoubleClick;
    explicit DoubleClickTap(QObject* parent) : QObject(parent) {}
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::MouseButtonDblClick) return false;
        guarded("JvLabel1DblClick", [this] { onDoubleClick(); });
        return true;
    }
};
}  // namespace

Receiver::Receiver(CommunicationPage& page, ReceiveLinks links, QObject* parent)
    : QObject(parent), page_(page), links_(std::move(links)) {
    page_.SioTerminal1->OnProcessChar = [this](char& ch) { SioTerminal1ProcessChar(ch); };
    connectGuarded(page_.SynEditReceiving, &ByteLinesView::lineDoubleClicked, this,
                   "SynEditReceivingDblClick", [this] { SynEditReceivingDblClick(); });
    connectGuarded(page_.chkBox_ShowSpecialChars, &QCheckBox::clicked, this,
                   "chkBox_ShowSpecialCharsClick", [this] { chkBox_ShowSpecialCharsClick(); });
    auto* tap = new DoubleClickTap(this);
    tap->onDoubleClick = [this] { JvLabel1DblClick(); };
    page_.JvLabel1->installEventFilter(tap);
}

void Receiver::SioComPort1DataRecived(std::uint32_t) {
    // Handlers run nested inside this one's event pumping, another block's included; the block
    // is kept locally so every step below works on the bytes this call read.
    const QByteArray block = links_.port->ReadAllWaiting();
    LastRxBlock = block;
    ++RxBlockCount;
    const bool capturing = page_.chkSaveRx2File->isChecked();
    if (capturing && links_.rxLogFileName) AppendLogLine(links_.rxLogFileName(), block);
    RxAccumulator.append(block);
    if (!AccumulatorHeld && RxAccumulator.size() > 2 * kAccumulatorKeep)
        RxAccumulator.remove(0, RxAccumulator.size() - kAccumulatorKeep);
    if (links_.chkRemoveASCII_cntrlCharsRX && links_.chkRemoveASCII_cntrlCharsRX->isChecked())
        trimInPlace(RxAccumulator);
    if (capturing) return;

    // The pumps of a block are cheap when the window was pumped a moment ago; the receive
    // window takes the block at once and shows it with the next frame.
    PumpIfDue();
    page_.SioTerminal1->feed(block);
    if (links_.showReceivedCount) links_.showReceivedCount(QString::number(ReceivedCharCount));
    ByteLinesView* window = page_.SynEditReceiving;
    window->appendLine(block);
    PumpIfDue();
    if (page_.chkbx_RXAutoscroll->isChecked()) window->setTopLine(window->lineCount() - 1);
    PumpIfDue();
    // The first line stays: it is the window's title line or the first block after emptying.
    if (window->lineCount() >= page_.SpinEdit_RX_maxLines->value() && window->lineCount() > 1)
        window->removeLine(1);
    PumpIfDue();
    if (links_.CheckBoxBeepOnReceive && links_.CheckBoxBeepOnReceive->isChecked()) {
        platform::Beep(560, 50);
        PumpOnce();
        platform::Beep(480, 50);
        PumpOnce();
    }
    if (links_.RadioGroupReceive && links_.RadioGroupReceive->itemIndex() == 1 &&
        links_.trafficLogFileName)
        AppendLogLine(links_.trafficLogFileName(), "Received:\t" + ControlCharsToSpaces(block));
}

void Receiver::SioTerminal1ProcessChar(char&) {
    ++ReceivedCharCount;
    // Per character only a count: the panel shows it, and the window is pumped, every few
    // thousand characters and once the block is through.
    if ((ReceivedCharCount & 0xFFF) != 0) return;
    if (links_.showReceivedCount) links_.showReceivedCount(QString::number(ReceivedCharCount));
    PumpIfDue();
}

void Receiver::JvLabel1DblClick() {
    page_.SynEditReceiving->clearLines();
}

QString Receiver::codeText(const QByteArray& line) {
    QString out;
    for (char c : line)
        out += QStringLiteral("-$") +
               QString::fromLatin1(ValueToHex(static_cast<unsigned char>(c), 2));
    return out;
}

void Receiver::SynEditReceivingDblClick() {
    const int index = page_.SynEditReceiving->caretLine();
    platform::InfoBox(codeText(index < 0 ? QByteArray() : page_.SynEditReceiving->line(index)));
}

void Receiver::chkBox_ShowSpecialCharsClick() {
    const bool on = page_.chkBox_ShowSpecialChars->isChecked();
    page_.SynEditReceiving->setShowSpecialChars(on);
    QTextOption option = page_.SynEditSending->document()->defaultTextOption();
    QTextOption::Flags flags = option.flags();
    flags.setFlag(QTextOption::ShowTabsAndSpaces, on);
    flags.setFlag(QTextOption::ShowLineAndParagraphSeparators, on);
    option.setFlags(flags);
    page_.SynEditSending->document()->setDefaultTextOption(option);
}

}  // namespace keldrin
