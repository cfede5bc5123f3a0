#include "terminal/Transmitter.h"

#include <QCheckBox>
#include <QEvent>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTextBlock>
#include <QTimer>
#include <optional>

#include "logging/LogFiles.h"
#include "platform/EventPump.h"
#include "platform/Guard.h"
#include "platform/Seams.h"
#include "serial/SioComPort.h"
#include "terminal/CommunicationPage.h"
#include "terminal/SendLine.h"
#include "terminal/TextCodec.h"
#include "widgets/LedLamp.h"
#include "widgets/RadioGroup.h"
#include "widgets/ToggleSwitch.h"

namespace keldrin {

namespace {

// Routes the events of the tab's widgets that Qt offers no signal for to the handlers.
class EventTap : public QObject {
  public:
    std::function<bool(QObject*, QEvent*)> onEvent;
    explicit EventTap(QObject* parent) : QObject(parent) {}
    bool eventFilter(QObject* watched, QEvent* event) override {
        bool eaten = false;
        guarded("Transmitter event", [&] { eaten = onEvent(watched, event); });
        return eaten;
    }
};

}  // namespace

QByteArray Transmitter::fieldBytes(const QString& text) {
    QByteArray out;
    out.reserve(text.size());
    for (QChar c : text) out.append(char(c.unicode() > 0xFF ? 0xFF : c.unicode()));
    return out;
}

Transmitter::Transmitter(CommunicationPage& page, TransmitLinks links, QObject* parent)
    : QObject(parent), page_(page), links_(std::move(links)) {
    connectGuarded(page_.ButtonSendOnce, &QPushButton::clicked, this, "ButtonSendOnceClick",
                   [this] { ButtonSendOnceClick(); });
    connectGuarded(page_.BitBtnAbort, &QPushButton::clicked, this, "BitBtnAbortClick", [this] {
        if (links_.abort)
            links_.abort();
        else
            resetSending();
    });
    connectGuarded(page_.ButtonPleaseSave, &QPushButton::clicked, this, "ButtonPleaseSaveClick",
                   [this] { ButtonPleaseSaveClick(); });
    connectGuarded(page_.SynEditSending, &QPlainTextEdit::textChanged, this, "SynEditSendingChange",
                   [this] { SynEditSendingChange(); });
    connectGuarded(page_.janToggle1, &QAbstractButton::toggled, this, "janToggle1ToggleChange",
                   [this] { janToggle1ToggleChange(); });
    connectGuarded(page_.SpinEdit4Loop, &QSpinBox::valueChanged, this, "SpinEdit4LoopChange",
                   [this] { SpinEdit4LoopChange(); });
    connectGuarded(page_.Timer4Loop, &QTimer::timeout, this, "Timer4LoopTimer",
                   [this] { Timer4LoopTimer(); });
    connectGuarded(page_.RadioButtonForceLowCase, &QRadioButton::clicked, this,
                   "RadioButtonForceLowCaseClick", [this] { RadioButtonForceLowCaseClick(); });
    connectGuarded(page_.RadioButton1, &QRadioButton::clicked, this, "RadioButton1Click",
                   [this] { RadioButton1Click(); });
    connectGuarded(page_.RadioButton2, &QRadioButton::clicked, this, "RadioButton2Enter",
                   [this] { RadioButton2Enter(); });
    connectGuarded(page_.edEditSendData, &QLineEdit::textEdited, this, "edEditSendDataChange",
                   [this] { applyCase(); });

    // The tap may still see events while the window takes its pages down, after the page
    // object is gone: it tells the widgets apart by the addresses it keeps, not through the page.
    auto* tap = new EventTap(this);
    QObject* const field = page_.edEditSendData;
    QObject* const list = page_.SynEditSending->viewport();
    QObject* const clearLabel = page_.JvLabel2;
    tap->onEvent = [this, field, list, clearLabel](QObject* watched, QEvent* event) {
        if (watched == field) {
            if (event->type() == QEvent::KeyPress) {
                const int key = static_cast<QKeyEvent*>(event)->key();
                if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                    edEditSendDataKeyPress(13);
                    return true;
                }
            } else if (event->type() == QEvent::MouseButtonDblClick) {
                edEditSendDataDblClick();
                return true;
            }
        } else if (watched == list) {
            if (event->type() == QEvent::MouseButtonPress) {
                const auto button = static_cast<QMouseEvent*>(event)->button();
                if (button == Qt::MiddleButton) {
                    SynEditSendingMouseDown(button);
                    return true;  // no paste of the selection
                }
            } else if (event->type() == QEvent::MouseButtonDblClick) {
                QTimer::singleShot(0, this, [this] {
                    guarded("SynEditSendingDblClick", [this] { SynEditSendingDblClick(); });
                });
            }
        } else if (watched == clearLabel && event->type() == QEvent::MouseButtonDblClick) {
            JvLabel2DblClick();
            return true;
        }
        return false;
    };
    for (QObject* watched : {field, list, clearLabel}) watched->installEventFilter(tap);

    // The waiting bar fills over one loop period.
    loopProgress_.setInterval(100);
    connect(&loopProgress_, &QTimer::timeout, this, [this] {
        page_.JvWaitingProgress1->setValue(
            int(qMin<qint64>(loopClock_.elapsed(), page_.JvWaitingProgress1->maximum())));
    });
    SpinEdit4LoopChange();
}

void Transmitter::writeByte(char byte) {
    links_.port->WriteData(&byte, 1);
}

void Transmitter::ButtonSendOnceClick() {
    if (sending_) {
        ++pendingSends_;
        return;
    }
    try {
        transmit();
        // Sends asked for meanwhile run now, one after the other.
        while (pendingSends_ > 0 && !sending_) {
            --pendingSends_;
            transmit();
        }
    } catch (...) {
        // A send that failed on the wire takes the ones queued behind it along: left queued,
        // the next Enter or loop tick would send the line once for each of them.
        pendingSends_ = 0;
        throw;
    }
}

void Transmitter::transmit() {
    serial::TSioComPort& port = *links_.port;
    if (!port.IsOpen()) {
        page_.janToggle1->setChecked(false);
        pendingSends_ = 0;
        if (links_.portNotOpen) links_.portNotOpen();
        return;
    }
    sending_ = true;
    // The flag goes down however the send ends; a write error leaves the button disabled
    // until the abort button is pressed.
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{sending_};

    page_.ButtonSendOnce->setEnabled(false);
    page_.BitBtnAbort->show();
    PumpOnce();

    const QByteArray trimmed = Trim(fieldBytes(page_.edEditSendData->text()));
    page_.edEditSendData->setText(QString::fromLatin1(trimmed));
    const QByteArray t = trimmed;

    if (links_.RadioGroupTransmit && links_.RadioGroupTransmit->itemIndex() == 1 &&
        links_.trafficLogFileName)
        AppendLogLine(links_.trafficLogFileName(), "\t>> Transmitted:\t" + ControlCharsToSpaces(t));

    using Kind = SendStep::Kind;
    // The line goes to the write thread as one block when the loop ends, not byte by byte;
    // bytes before a pause go out before it.
    std::optional<serial::TSioWriteBatch> batch;
    batch.emplace(port);
    for (const SendStep& step : TranslateSendLine(t, page_.chkHandleBinData->isChecked())) {
        PumpIfDue();
        if (!port.IsOpen()) break;
        if (step.kind == Kind::Skip) continue;
        if (step.kind == Kind::Pause) {
            batch->Flush();
            platform::Sleep(200);
            continue;
        }
        writeByte(step.byte);
        PumpIfDue();
        if (step.kind == Kind::LastPair) break;
        if (step.kind == Kind::Marker) {
            page_.SynEditSending->clear();
            page_.edEditSendData->clear();
        } else if (step.kind == Kind::Data) {
            ++SentCharCount;
            PumpIfDue();
        }
    }
    batch.reset();

    PumpEventsIfDue();
    if (links_.showSentCount) links_.showSentCount(QString::number(SentCharCount));
    if (links_.CheckBoxBeepOnSend && links_.CheckBoxBeepOnSend->isChecked()) {
        platform::Beep(460, 50);
        PumpOnce();
        platform::Beep(880, 50);
        PumpOnce();
    }
    const int delay = links_.SpinEdit_DelayOnSent ? links_.SpinEdit_DelayOnSent->value() : 0;
    if (delay != 0) {
        platform::Sleep(unsigned(delay));
        PumpOnce();
    }
    page_.ButtonSendOnce->setEnabled(true);
    page_.BitBtnAbort->hide();
    PumpIfDue();
}

void Transmitter::resetSending() {
    page_.janToggle1->setChecked(false);
    page_.Timer4Loop->stop();
    page_.ButtonSendOnce->setEnabled(true);
    page_.BitBtnAbort->hide();
    pendingSends_ = 0;
}

void Transmitter::edEditSendDataKeyPress(int key) {
    if (key == 13) ButtonSendOnceClick();
}

void Transmitter::SynEditSendingMouseDown(Qt::MouseButton button) {
    if (button == Qt::MiddleButton) ButtonSendOnceClick();
}

void Transmitter::SynEditSendingDblClick() {
    const QTextBlock line = page_.SynEditSending->textCursor().block();
    page_.edEditSendData->setText(line.text());
    applyCase();
}

void Transmitter::edEditSendDataDblClick() {
    page_.SynEditSending->appendPlainText(page_.edEditSendData->text());
    page_.ButtonPleaseSave->show();
}

void Transmitter::SynEditSendingChange() {
    page_.ButtonPleaseSave->show();
}

void Transmitter::ButtonPleaseSaveClick() {
    platform::FileDialogRequest request;
    request.title = QStringLiteral("Save");
    request.filter = QStringLiteral("Command Files (*.cmd)|*.cmd|*.*|*.*");
    request.askOverwrite = true;
    const auto chosen = platform::fileDialogs().saveFile(page_.SynEditSending->window(), request);
    if (chosen) {
        QByteArray text = fieldBytes(page_.SynEditSending->toPlainText());
        text.replace('\n', "\r\n");
        QFile f(*chosen);
        if (f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(text) == text.size()) {
            f.close();
            if (links_.showListName) links_.showListName(*chosen);
        } else {
            platform::ErrorBox(QStringLiteral("error saving the file:\r\n\r\n") + *chosen);
        }
    }
    page_.ButtonPleaseSave->hide();
}

void Transmitter::JvLabel2DblClick() {
    page_.SynEditSending->clear();
    page_.SynEditSending->document()->clearUndoRedoStacks();
}

void Transmitter::janToggle1ToggleChange() {
    const bool on = page_.janToggle1->isChecked();
    if (on)
        page_.Timer4Loop->start();
    else
        page_.Timer4Loop->stop();
    const bool running = page_.Timer4Loop->isActive();
    page_.JvLED1->setVisible(running);
    page_.JvLED1->setActive(running);
    page_.JvWaitingProgress1->setVisible(running);
    page_.JvWaitingProgress1->setRange(0, page_.Timer4Loop->interval());
    page_.JvWaitingProgress1->setValue(0);
    if (running) {
        loopClock_.start();
        loopProgress_.start();
    } else {
        loopProgress_.stop();
    }
}

void Transmitter::SpinEdit4LoopChange() {
    page_.Timer4Loop->setInterval(page_.SpinEdit4Loop->value() * 1000);
    page_.JvWaitingProgress1->setRange(0, page_.Timer4Loop->interval());
}

void Transmitter::Timer4LoopTimer() {
    loopClock_.restart();
    page_.JvWaitingProgress1->setValue(0);
    // A tick that finds the previous send still running is skipped rather than queued, so a
    // period shorter than a send cannot pile up sends without end.
    if (sending_) return;
    ButtonSendOnceClick();
}

void Transmitter::applyCase() {
    if (case_ == Case::Normal) return;
    QLineEdit* field = page_.edEditSendData;
    const QString text = field->text();
    const QString wanted = case_ == Case::Lower ? text.toLower() : text.toUpper();
    if (wanted == text) return;
    const int cursor = field->cursorPosition();
    field->setText(wanted);
    field->setCursorPosition(cursor);
}

void Transmitter::RadioButtonForceLowCaseClick() {
    case_ = Case::Lower;
    applyCase();
}

void Transmitter::RadioButton1Click() {
    case_ = Case::Upper;
    applyCase();
}

void Transmitter::RadioButton2Enter() {
    case_ = Case::Normal;
}

void Transmitter::ActionSentCommandLineExecute() {
    PumpOnce();
    SynEditSendingDblClick();
    PumpOnce();
    ButtonSendOnceClick();
    PumpOnce();
}

}  // namespace keldrin
