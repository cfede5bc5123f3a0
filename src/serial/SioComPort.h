#pragma once

// The serial port object: line settings and their control block, the numbered port's open and
// close, and the port's events, which always run on the window thread, one at a time, in the
// order the engine produced them.
//
// Events are std::function members, assigned by the owner (for example
// `port.OnDataRecived = [this](TSioComPort*, std::uint32_t n) { SioComPort1DataRecived(n); };`).
// All but OnNonSyncEvent run on the window thread; OnNonSyncEvent runs on the engine's event
// thread and, like the other events, is assigned while the port is closed; an error escaping it
// is still raised on the window thread (as ckThreadException), where the error log takes it.
//
// Ordinals outside their table (a hand-edited project file saying BaudRate=20) never index past
// a table: the setter takes the class default instead (br115200, db8, paNone, sbOne, fwNone,
// tpNormal).

#include <QByteArray>
#include <QObject>
#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

#include "platform/Errors.h"
#include "serial/SioComPortCore.h"
#include "serial/SioSafeSync.h"
#include "serial/platform/CommTypes.h"

class QWidget;

namespace keldrin::serial {

KELDRIN_DECLARE_ERROR(ESioComPortError);

enum TSioBaudrate {
    br110,
    br300,
    br600,
    br1200,
    br2400,
    br4800,
    br9600,
    br14400,
    br19200,
    br38400,
    br56000,
    br57600,
    br115200,
    br128000,
    br256000,
    brUser
};
enum TSioDatabits { db4, db5, db6, db7, db8 };
enum TSioParity { paNone, paOdd, paEven, paMark, paSpace };
enum TSioStopbits { sbOne, sbOneAndHalf, sbTwo };
enum TSioFlowControl { fwNone, fwXOnXOff, fwRtsCts, fwDtrDsr };
enum TSioComOption { coParityCheck, coDsrSensitivity, coIgnoreXOff, coErrorChar, coStripNull };
// A set of TSioComOption: bit (1 << option) per member.
using TSioComOptions = unsigned;
constexpr TSioComOptions OptionBit(TSioComOption o) {
    return 1u << o;
}

// The rate an ordinal stands for (brUser and anything outside the table: 0).
std::uint32_t BaudRateValue(int ordinal);

class TSioComPort;
using TNotifyEvent = std::function<void(TSioComPort* Sender)>;
using TSioCPTDataReceivedEvent = std::function<void(TSioComPort* Sender, std::uint32_t Count)>;
using TSioCPTErrorEvent = std::function<void(TSioComPort* Sender, std::uint32_t Errors)>;
using TSioCPTCoreEvent =
    std::function<void(TSioComPort* Sender, TSioCoreEvent EventKind, std::uint32_t Data)>;

class TSioComPort : public QObject {
    Q_OBJECT
  public:
    static constexpr int SyncCallTimeout = 2000;

    // `name` is the component's name, which its errors carry ("... - SioComPort1 ").
    explicit TSioComPort(const QString& name = QStringLiteral("SioComPort1"),
                         QObject* parent = nullptr);
    // Closes an open port without firing OnPortClose.
    ~TSioComPort() override;

    // Operations, all on the window thread.
    virtual void Open();
    virtual void Close();
    bool IsOpen() const;
    // Queues all bytes or none for the write thread; nothing while closing.
    virtual void WriteData(const void* bytes, int count);
    void WriteChar(char byte) { WriteData(&byte, 1); }
    // Writes between these two only queue; the release hands them all to the write thread in
    // one wake-up (see TSioWriteBatch).
    void HoldWrites() { core_->HoldWrites(); }
    void ReleaseWrites() { core_->ReleaseWrites(); }
    // Every byte waiting in the receive queue (empty while closing or closed).
    QByteArray ReadAllWaiting();
    void PurgeReceive();
    void PurgeTransmit();
    std::uint32_t FreeOutputSpace();
    std::uint32_t WaitingInputCount();
    // Bytes given to the port that have not left it yet: the transmit queue and the driver's.
    std::uint32_t WaitingOutputCount();
    // "COM5: 38400,N,8,2".
    QString SettingsText() const;
    std::uint32_t ActualBaudRate() const;
    // Lets the user edit the line settings in a dialog named "COM<N>"; true when accepted.
    virtual bool RunConfigDialog(QWidget* parent = nullptr);

    // The control block built from the properties, and the reverse.
    void BuildDcb();
    void ApplyDcb(const Dcb& dcb);
    const Dcb& GetDcb() const { return dcb_; }

    // Properties.
    bool AutoOpen() const { return autoOpen_; }
    void SetAutoOpen(bool v) { autoOpen_ = v; }
    TSioBaudrate BaudRate() const { return baudRate_; }
    void SetBaudRate(TSioBaudrate v);
    std::uint16_t ComNumber() const { return comNumber_; }
    void SetComNumber(std::uint16_t v);
    TSioDatabits Databits() const { return databits_; }
    void SetDatabits(TSioDatabits v);
    bool DTR() const { return dtr_; }
    void SetDTR(bool v);
    TSioThreadPriority EventThreadPriority() const { return eventPriority_; }
    void SetEventThreadPriority(TSioThreadPriority v);
    TSioFlowControl FlowControl() const { return flowControl_; }
    void SetFlowControl(TSioFlowControl v);
    std::int32_t InBufSize() const { return inBufSize_; }
    void SetInBufSize(std::int32_t v);
    TSioComOptions Options() const { return options_; }
    void SetOptions(TSioComOptions v);
    std::int32_t OutBufSize() const { return outBufSize_; }
    void SetOutBufSize(std::int32_t v);
    TSioParity Parity() const { return parity_; }
    void SetParity(TSioParity v);
    bool RTS() const { return rts_; }
    void SetRTS(bool v);
    TSioStopbits Stopbits() const { return stopbits_; }
    void SetStopbits(TSioStopbits v);
    std::int32_t UserBaudRate() const { return userBaudRate_; }
    void SetUserBaudRate(std::int32_t v);
    TSioThreadPriority WriteThreadPriority() const { return writePriority_; }
    void SetWriteThreadPriority(TSioThreadPriority v);
    std::uint8_t XOnChar() const { return xonChar_; }
    void SetXOnChar(std::uint8_t v);
    std::uint8_t XOffChar() const { return xoffChar_; }
    void SetXOffChar(std::uint8_t v);
    std::uint16_t XOnLim() const { return xonLim_; }
    void SetXOnLim(std::uint16_t v);
    std::uint16_t XOffLim() const { return xoffLim_; }
    void SetXOffLim(std::uint16_t v);

    // Events.
    TSioCPTDataReceivedEvent OnDataRecived;
    TNotifyEvent OnOutBufFree;
    TNotifyEvent OnPortOpen;
    TNotifyEvent OnPortClose;
    TSioCPTErrorEvent OnLineError;
    TNotifyEvent OnCTSChanged;
    TNotifyEvent OnDSRChanged;
    TNotifyEvent OnRINGDetected;
    TNotifyEvent OnRLSDChanged;
    TSioCPTCoreEvent OnSyncEvent;
    TSioCPTCoreEvent OnNonSyncEvent;

    TSioComPortCore& Core() { return *core_; }

  protected:
    // Raises ESioComPortError "<message> - <name> ".
    [[noreturn]] virtual void RaisePortError(const QString& message);

  private:
    void coreEvent(TSioCoreEvent kind, std::uint32_t data, std::exception_ptr error);
    void dispatch(const SioSyncMessage& message);
    void deviceLost();
    void updateXonXoffLimits();

    bool autoOpen_ = false;
    TSioBaudrate baudRate_ = br115200;
    std::uint16_t comNumber_ = 0;
    TSioDatabits databits_ = db8;
    bool dtr_ = true;
    TSioThreadPriority eventPriority_ = tpNormal;
    TSioFlowControl flowControl_ = fwNone;
    std::int32_t inBufSize_ = 4096;
    TSioComOptions options_ = 0;
    std::int32_t outBufSize_ = 2048;
    TSioParity parity_ = paNone;
    bool rts_ = true;
    TSioStopbits stopbits_ = sbOne;
    std::int32_t userBaudRate_ = 0;
    TSioThreadPriority writePriority_ = tpHighest;
    std::uint8_t xonChar_ = 17;
    std::uint8_t xoffChar_ = 19;
    std::uint16_t xonLim_ = 0;
    std::uint16_t xoffLim_ = 0;

    Dcb dcb_{};
    std::atomic<bool> closing_{false};
    std::atomic<bool> destroying_{false};
    std::atomic<unsigned> session_{0};  // counts opens, so a stale "device lost" closes nothing
    std::uint32_t syncSlot_ = 0;
    std::unique_ptr<TSioComPortCore> core_;
};

// Holds the port's writes for a scope: a line sent byte by byte goes to the device as one block,
// when the scope ends (or at `Flush`, for bytes that must go out before a pause).
class TSioWriteBatch {
  public:
    explicit TSioWriteBatch(TSioComPort& port) : port_(port) { port_.HoldWrites(); }
    ~TSioWriteBatch() { port_.ReleaseWrites(); }
    TSioWriteBatch(const TSioWriteBatch&) = delete;
    TSioWriteBatch& operator=(const TSioWriteBatch&) = delete;
    void Flush() {
        port_.ReleaseWrites();
        port_.HoldWrites();
    }

  private:
    TSioComPort& port_;
};

}  // namespace keldrin::serial
