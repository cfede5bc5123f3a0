#include "serial/discovery/TXComm.h"

#include <QRegularExpression>

#include "serial/platform/PortMap.h"
#include "serial/platform/TermDevice.h"
#include "serial/platform/Termios2.h"

namespace keldrin::serial {

TXComm::TXComm() : device_(std::make_unique<TermDevice>()) {}

TXComm::~TXComm() {
    if (IsOpen()) restoreAndClose();
}

void TXComm::SetDeviceName(const QString& name) {
    if (IsOpen()) return;
    deviceName_ = name;
}

bool TXComm::IsOpen() const {
    return device_->isOpen();
}

Dcb TXComm::StoredDcb() {
    Dcb d{};
    d.DCBlength = sizeof(Dcb);
    d.BaudRate = 9600;
    d.Flags = fBinary;  // no handshake; DTR and RTS stay down
    d.ByteSize = 8;
    d.Parity = NOPARITY;
    d.StopBits = ONESTOPBIT;
    d.XonChar = 0x11;
    d.XoffChar = 0x13;
    d.EvtChar = 0x0A;
    return d;
}

std::string TXComm::DevicePath() const {
    if (deviceName_.startsWith(QLatin1Char('/'))) return deviceName_.toStdString();
    static const QRegularExpression comName(QStringLiteral("^com([0-9]{1,3})$"),
                                            QRegularExpression::CaseInsensitiveOption);
    const auto m = comName.match(deviceName_);
    if (!m.hasMatch()) return {};
    return PortDeviceName(m.captured(1).toInt());
}

void TXComm::OpenDevice() {
    if (IsOpen()) throw EDeviceError("Device is allready opened.");
    const std::string path = DevicePath();
    const std::string cannotOpen = "Cannot open device " + deviceName_.toStdString();
    if (path.empty()) throw EDeviceError(cannotOpen);
    if (device_->open(path) != TermDevice::OpenResult::Ok) throw EDeviceError(cannotOpen);

    // The line's settings outlive our use of it on this platform; remember them so that a
    // status report leaves a free port as it found it.
    haveSaved_ = tcgetattr(device_->fd(), &saved_) == 0;
    if (detail::GetBaud(device_->fd(), &savedRate_) != 0) savedRate_ = 0;

    const char* failure = nullptr;
    if (!device_->setCommState(StoredDcb()))
        failure = "Unable to update device control block.";
    else if (!device_->purge(PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR) ||
             !device_->setupComm(kQueueSize, kQueueSize))
        failure = "Unable to update IO buffers.";
    else if (!device_->setTimeouts())
        failure = "Unable to update Timeouts.";
    if (failure) {
        restoreAndClose();
        throw EDeviceError(failure);
    }
}

void TXComm::CloseDevice() {
    if (!IsOpen()) throw EDeviceError("Device not opened.");
    restoreAndClose();
}

void TXComm::restoreAndClose() {
    if (haveSaved_) {
        tcsetattr(device_->fd(), TCSANOW, &saved_);
        if (savedRate_ != 0 && !IsStandardBaudRate(savedRate_))
            detail::SetCustomBaud(device_->fd(), savedRate_);
    }
    haveSaved_ = false;
    device_->close();
}

}  // namespace keldrin::serial
