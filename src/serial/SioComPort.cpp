#include "serial/SioComPort.h"

#include <QCursor>
#include <QGuiApplication>

#include "platform/Guard.h"

namespace keldrin::serial {

namespace {

constexpr std::uint32_t kBaudTable[] = {110,   300,   600,   1200,  2400,   4800,   9600,   14400,
                                        19200, 38400, 56000, 57600, 115200, 128000, 256000, 0};
constexpr std::uint8_t kByteSize[] = {4, 5, 6, 7, 8};
constexpr std::uint32_t kFlowBits[] = {0, fOutX | fInX, fOutxCtsFlow | fRtsControlHandshake,
                                       fOutxDsrFlow | fDtrControlHandshake};
constexpr std::uint32_t kOptionBits[] = {fParity, fDsrSensitivity, fTXContinueOnXoff, fErrorChar,
                                         fNull};
constexpr const char* kParityLetter[] = {"N", "O", "E", "M", "S"};
constexpr const char* kStopText[] = {"1", "1.5", "2"};

// The port's own message through the hand-off: the device went away (data: the session).
constexpr int kDeviceLost = 100;

const char* eventName(int kind) {
    switch (kind) {
        case ckOutputEmptied:
            return "OnOutBufFree";
        case ckLineEvent:
            return "OnDataRecived (line event)";
        case ckDataWaiting:
            return "OnDataRecived";
        case ckThreadException:
            return "serial event thread";
        case kDeviceLost:
            return "OnPortClose (device lost)";
        default:
            return "serial port event";
    }
}

template <typename E>
E inRange(E v, int count, E fallback) {
    const int i = static_cast<int>(v);
    return i >= 0 && i < count ? v : fallback;
}

// Sets the wait cursor for a scope when there is a screen to show it on.
struct WaitCursor {
    bool set = false;
    WaitCursor() {
        if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
            QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
            set = true;
        }
    }
    ~WaitCursor() {
        if (set) QGuiApplication::restoreOverrideCursor();
    }
};

}  // namespace

std::uint32_t BaudRateValue(int ordinal) {
    return ordinal >= 0 && ordinal < 16 ? kBaudTable[ordinal] : 0;
}

TSioComPort::TSioComPort(const QString& name, QObject* parent)
    : QObject(parent), core_(std::make_unique<TSioComPortCore>()) {
    setObjectName(name);
    // An error escaping a window handler ends that handler only; the error log names the event.
    syncSlot_ = SioSafeSync::TakeSlot(
        [this](const SioSyncMessage& m) { guarded(eventName(m.kind), [&] { dispatch(m); }); });
    core_->SetCallback([this](TSioCoreEvent kind, std::uint32_t data,
                              std::exception_ptr error) { coreEvent(kind, data, error); },
                       [this] { deviceLost(); });
    updateXonXoffLimits();
    BuildDcb();
}

TSioComPort::~TSioComPort() {
    destroying_ = true;
    SioSafeSync::ClearSlot(syncSlot_);
    core_.reset();
}

void TSioComPort::RaisePortError(const QString& message) {
    throw ESioComPortError(QStringLiteral("%1 - %2 ").arg(message, objectName()).toStdString());
}

// ---- open, close, I/O ----

void TSioComPort::Open() {
    if (core_->IsOpen()) return;
    SioSafeSync::EnableSlot(syncSlot_, true);
    core_->SetDcb(dcb_);
    core_->SetQueueSizes(static_cast<std::uint32_t>(inBufSize_ > 0 ? inBufSize_ : 0),
                         static_cast<std::uint32_t>(outBufSize_ > 0 ? outBufSize_ : 0));
    core_->SetPriorities(eventPriority_, writePriority_);
    // Events are assigned while the port is closed; nobody listening for an emptied ring
    // spares both the event thread and the window thread a wake-up per send.
    core_->SetReportOutputEmptied(OnOutBufFree || OnSyncEvent || OnNonSyncEvent);
    closing_ = false;
    ++session_;
    try {
        WaitCursor cursor;
        core_->Open(comNumber_);
    } catch (...) {
        SioSafeSync::EnableSlot(syncSlot_, false);
        throw;
    }
    if (OnPortOpen) OnPortOpen(this);
}

void TSioComPort::Close() {
    closing_ = true;
    struct ClearClosing {
        std::atomic<bool>& flag;
        ~ClearClosing() { flag = false; }
    } clear{closing_};
    // Disabled first: the event thread, perhaps waiting in a hand-off, is released at once.
    SioSafeSync::EnableSlot(syncSlot_, false);
    core_->Close();
    if (OnPortClose) OnPortClose(this);
}

bool TSioComPort::IsOpen() const {
    return core_ && core_->IsOpen();
}

void TSioComPort::WriteData(const void* bytes, int count) {
    if (closing_) return;
    if (count < 0 || !core_->Write(bytes, static_cast<std::size_t>(count))) {
        RaisePortError(QString::asprintf("Write data error [requested: %d, free: %u]", count,
                                         FreeOutputSpace()));
    }
}

QByteArray TSioComPort::ReadAllWaiting() {
    if (closing_) return {};
    const std::uint32_t n = core_->WaitingCount();
    if (n == 0) return {};
    QByteArray bytes(static_cast<qsizetype>(n), Qt::Uninitialized);
    const long got = core_->Read(bytes.data(), n);
    bytes.truncate(got > 0 ? static_cast<qsizetype>(got) : 0);
    return bytes;
}

void TSioComPort::PurgeReceive() {
    if (!closing_) core_->PurgeReceive();
}

void TSioComPort::PurgeTransmit() {
    if (!closing_) core_->PurgeTransmit();
}

std::uint32_t TSioComPort::FreeOutputSpace() {
    return core_->FreeOutputSpace();
}

std::uint32_t TSioComPort::WaitingInputCount() {
    return core_->LineStatus().inQue;
}

std::uint32_t TSioComPort::WaitingOutputCount() {
    if (!core_->IsActive()) return 0;
    const std::uint32_t size = outBufSize_ > 0 ? static_cast<std::uint32_t>(outBufSize_) : 0;
    const std::uint32_t free = core_->FreeOutputSpace();
    return (size > free ? size - free : 0) + core_->LineStatus().outQue;
}

std::uint32_t TSioComPort::ActualBaudRate() const {
    return baudRate_ == brUser ? static_cast<std::uint32_t>(userBaudRate_)
                               : BaudRateValue(baudRate_);
}

QString TSioComPort::SettingsText() const {
    return QString::asprintf("COM%d: %u,%s,%c,%s", comNumber_, ActualBaudRate(),
                             kParityLetter[parity_], static_cast<char>('4' + databits_),
                             kStopText[stopbits_]);
}

// ---- control block ----

void TSioComPort::BuildDcb() {
    Dcb d{};
    d.DCBlength = sizeof(Dcb);
    d.BaudRate = ActualBaudRate();
    d.ByteSize = kByteSize[databits_];
    d.Parity = static_cast<std::uint8_t>(parity_);
    d.StopBits = static_cast<std::uint8_t>(stopbits_);
    d.XonChar = xonChar_;
    d.XoffChar = xoffChar_;
    d.XonLim = xonLim_;
    d.XoffLim = xoffLim_;
    d.Flags = kFlowBits[flowControl_] | fBinary;
    for (int o = 0; o < 5; ++o) {
        if (options_ & (1u << o)) d.Flags |= kOptionBits[o];
    }
    if (dtr_ && flowControl_ != fwDtrDsr) d.Flags |= fDtrControlEnable;
    if (rts_ && flowControl_ != fwRtsCts) d.Flags |= fRtsControlEnable;
    dcb_ = d;
    if (core_->IsActive()) {
        try {
            core_->SetDcb(d);
        } catch (...) {
            dcb_ = core_->GetDcb();  // what the driver holds now
            throw;
        }
    }
}

void TSioComPort::ApplyDcb(const Dcb& dcb) {
    if (dcb.DCBlength != sizeof(Dcb))
        RaisePortError(QStringLiteral("Error setting parameters from DCB"));
    dcb_ = dcb;
    baudRate_ = brUser;
    userBaudRate_ = static_cast<std::int32_t>(dcb.BaudRate);
    for (int i = 0; i < 16; ++i) {
        if (kBaudTable[i] == dcb.BaudRate) {
            baudRate_ = static_cast<TSioBaudrate>(i);
            userBaudRate_ = 0;
            break;
        }
    }
    databits_ = db8;
    for (int i = 0; i < 5; ++i) {
        if (kByteSize[i] == dcb.ByteSize) databits_ = static_cast<TSioDatabits>(i);
    }
    parity_ = dcb.Parity <= paSpace ? static_cast<TSioParity>(dcb.Parity) : paNone;
    stopbits_ = dcb.StopBits <= sbTwo ? static_cast<TSioStopbits>(dcb.StopBits) : sbOne;
    flowControl_ = fwNone;
    for (TSioFlowControl f : {fwDtrDsr, fwRtsCts, fwXOnXOff}) {
        if ((dcb.Flags & kFlowBits[f]) == kFlowBits[f]) {
            flowControl_ = f;
            break;
        }
    }
    options_ = 0;
    for (int o = 0; o < 5; ++o) {
        if (dcb.Flags & kOptionBits[o]) options_ |= 1u << o;
    }
    xonChar_ = dcb.XonChar;
    xoffChar_ = dcb.XoffChar;
    xonLim_ = dcb.XonLim;
    xoffLim_ = dcb.XoffLim;
    BuildDcb();
}

void TSioComPort::updateXonXoffLimits() {
    if (flowControl_ == fwNone) {
        xonLim_ = 0;
        xoffLim_ = 0;
        return;
    }
    xonLim_ = static_cast<std::uint16_t>(inBufSize_ / 4);
    xoffLim_ = static_cast<std::uint16_t>(inBufSize_ - xonLim_);
}

// ---- setters ----

void TSioComPort::SetBaudRate(TSioBaudrate v) {
    baudRate_ = inRange(v, 16, br115200);
    if (baudRate_ != brUser) userBaudRate_ = 0;
    BuildDcb();
}

void TSioComPort::SetUserBaudRate(std::int32_t v) {
    userBaudRate_ = v;
    baudRate_ = brUser;
    BuildDcb();
}

void TSioComPort::SetDatabits(TSioDatabits v) {
    databits_ = inRange(v, 5, db8);
    BuildDcb();
}

void TSioComPort::SetParity(TSioParity v) {
    parity_ = inRange(v, 5, paNone);
    BuildDcb();
}

void TSioComPort::SetStopbits(TSioStopbits v) {
    stopbits_ = inRange(v, 3, sbOne);
    BuildDcb();
}

void TSioComPort::SetFlowControl(TSioFlowControl v) {
    flowControl_ = inRange(v, 4, fwNone);
    updateXonXoffLimits();
    BuildDcb();
}

void TSioComPort::SetOptions(TSioComOptions v) {
    options_ = v & 0x1F;
    BuildDcb();
}

void TSioComPort::SetXOnChar(std::uint8_t v) {
    xonChar_ = v;
    BuildDcb();
}

void TSioComPort::SetXOffChar(std::uint8_t v) {
    xoffChar_ = v;
    BuildDcb();
}

void TSioComPort::SetXOnLim(std::uint16_t v) {
    xonLim_ = v;
    xoffLim_ = static_cast<std::uint16_t>(inBufSize_ - v);
}

void TSioComPort::SetXOffLim(std::uint16_t v) {
    xoffLim_ = v;
    xonLim_ = static_cast<std::uint16_t>(inBufSize_ - v);
}

void TSioComPort::SetInBufSize(std::int32_t v) {
    if (IsOpen()) RaisePortError(QStringLiteral("Port is not closed"));
    inBufSize_ = v;
    updateXonXoffLimits();
    BuildDcb();
}

void TSioComPort::SetOutBufSize(std::int32_t v) {
    if (IsOpen()) RaisePortError(QStringLiteral("Port is not closed"));
    outBufSize_ = v;
}

void TSioComPort::SetEventThreadPriority(TSioThreadPriority v) {
    eventPriority_ = inRange(v, 7, tpNormal);
}

void TSioComPort::SetWriteThreadPriority(TSioThreadPriority v) {
    writePriority_ = inRange(v, 7, tpNormal);
}

void TSioComPort::SetDTR(bool v) {
    if (v == dtr_) return;
    dtr_ = v;
    if (core_->IsActive()) core_->EscapeCommFunction(v ? SETDTR : CLRDTR);
}

void TSioComPort::SetRTS(bool v) {
    if (v == rts_) return;
    rts_ = v;
    if (core_->IsActive()) core_->EscapeCommFunction(v ? SETRTS : CLRRTS);
}

void TSioComPort::SetComNumber(std::uint16_t v) {
    if (v == comNumber_) return;
    if (IsOpen()) {
        Close();
        comNumber_ = v;
        Open();
    } else {
        comNumber_ = v;
    }
}

// ---- events ----

void TSioComPort::coreEvent(TSioCoreEvent kind, std::uint32_t data, std::exception_ptr error) {
    if (closing_ || destroying_) return;
    // An error is always raised on the window thread, where the error log takes it, even when
    // the other events stay on this thread: an error that escaped OnNonSyncEvent would be lost
    // if it went back there.
    if (OnNonSyncEvent && kind != ckThreadException) {
        OnNonSyncEvent(this, kind, data);
        return;
    }
    SioSyncMessage message;
    message.kind = kind;
    message.data = data;
    message.error = error;
    if (kind == ckOutputEmptied) {
        // Nothing to read or answer: the event thread need not wait for the window thread,
        // and an emptied ring still waiting to be reported is reported once.
        SioSafeSync::PostOnce(syncSlot_, message);
        return;
    }
    if (!SioSafeSync::Call(syncSlot_, message, SyncCallTimeout))
        throw ESioSilentAbort("port closing");  // the event is dropped
}

void TSioComPort::dispatch(const SioSyncMessage& message) {
    if (closing_ || destroying_) return;
    if (message.kind == kDeviceLost) {
        if (message.data == session_.load() && IsOpen()) Close();
        return;
    }
    const auto kind = static_cast<TSioCoreEvent>(message.kind);
    if (OnSyncEvent) OnSyncEvent(this, kind, message.data);
    switch (kind) {
        case ckOutputEmptied:
            if (OnOutBufFree) OnOutBufFree(this);
            break;
        case ckLineEvent: {
            const std::uint32_t mask = message.data;
            if (mask & EV_RXCHAR) {
                // Line errors are gathered below when the event says there are any.
                const std::uint32_t count = core_->WaitingCount();
                if (OnDataRecived) OnDataRecived(this, count);
            }
            // The driver's error counters are read by the line status; collect them first so
            // the errors reported are those that raised the event.
            if (mask & EV_ERR) core_->LineStatus();
            const std::uint32_t errors = core_->TakeLineErrors();
            if ((mask & EV_ERR) && OnLineError) OnLineError(this, errors);
            if ((mask & EV_CTS) && OnCTSChanged) OnCTSChanged(this);
            if ((mask & EV_DSR) && OnDSRChanged) OnDSRChanged(this);
            if ((mask & EV_RING) && OnRINGDetected) OnRINGDetected(this);
            if ((mask & EV_RLSD) && OnRLSDChanged) OnRLSDChanged(this);
            break;
        }
        case ckDataWaiting:
            if (OnDataRecived) OnDataRecived(this, message.data);
            break;
        case ckThreadException:
            if (message.error) std::rethrow_exception(message.error);
            break;
    }
}

void TSioComPort::deviceLost() {
    // On the event thread: the port closes in order on the window thread, where OnPortClose
    // runs as for any close. A port closed meanwhile has its slot disabled and gets nothing; a
    // port reopened meanwhile is another session and is left alone.
    SioSyncMessage message;
    message.kind = kDeviceLost;
    message.data = session_.load();
    SioSafeSync::Post(syncSlot_, message);
}

}  // namespace keldrin::serial
