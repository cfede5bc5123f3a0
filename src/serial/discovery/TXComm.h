#pragma once

// The test device of the port status report: a second, plain serial component that opens a
// port with its own fixed configuration only to find out whether it can be had.

#include <termios.h>

#include <QString>
#include <cstdint>
#include <memory>

#include "platform/Errors.h"
#include "serial/platform/CommTypes.h"

namespace keldrin::serial {

KELDRIN_DECLARE_ERROR(EDeviceError);

class TermDevice;

class TXComm {
  public:
    TXComm();
    ~TXComm();
    TXComm(const TXComm&) = delete;
    TXComm& operator=(const TXComm&) = delete;

    // "Com<N>" names the device of COM N in the port map; a name starting with "/" is a device
    // path. Setting it while a device is open has no effect.
    QString DeviceName() const { return deviceName_; }
    void SetDeviceName(const QString& name);

    // Opens the device exclusively and applies the stored configuration; raises EDeviceError
    // ("Device is allready opened.", "Cannot open device <name>", "Unable to update device
    // control block.", "Unable to update IO buffers.", "Unable to update Timeouts."). A failure
    // after the device was opened closes it again.
    void OpenDevice();
    // Gives the line back with the settings it had before OpenDevice, and closes it; raises
    // EDeviceError "Device not opened." when nothing is open.
    void CloseDevice();
    bool IsOpen() const;

    // The stored configuration: 9600 baud, 8 data bits, no parity, 1 stop bit, no flow control,
    // DTR and RTS not raised, XON 0x11, XOFF 0x13, event character 0x0A.
    static Dcb StoredDcb();
    static constexpr std::uint32_t kQueueSize = 2048;

    // The device path DeviceName stands for; empty when none is known.
    std::string DevicePath() const;

  private:
    void restoreAndClose();

    QString deviceName_;
    std::unique_ptr<TermDevice> device_;
    // What the line held before we configured it.
    bool haveSaved_ = false;
    termios saved_{};
    std::uint32_t savedRate_ = 0;
};

}  // namespace keldrin::serial
