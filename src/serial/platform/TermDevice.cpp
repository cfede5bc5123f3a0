#include "serial/platform/TermDevice.h"

#include <errno.h>
#include <fcntl.h>
#include <linux/serial.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "serial/platform/DeviceHolders.h"
#include "serial/platform/Termios2.h"

namespace keldrin::serial {

bool Dcb::operator==(const Dcb& o) const {
    return std::memcmp(this, &o, sizeof(Dcb)) == 0;
}

namespace {

struct RateCode {
    std::uint32_t rate;
    speed_t code;
};

constexpr RateCode kRates[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
};

bool speedCode(std::uint32_t rate, speed_t* code) {
    for (const auto& r : kRates) {
        if (r.rate == rate) {
            *code = r.code;
            return true;
        }
    }
    return false;
}

std::uint32_t rateOfCode(speed_t code) {
    for (const auto& r : kRates) {
        if (r.code == code) return r.rate;
    }
    return 0;
}

// What the terminal layer holds of received bytes (N_TTY_BUF_SIZE); a read never gets more.
constexpr std::size_t kTerminalHolds = 4096;
constexpr std::size_t kQueueMost = 16 * kTerminalHolds;

// A pseudo-terminal answers the modem and counter requests with one of these: not a failure.
bool notSupported(int e) {
    return e == ENOTTY || e == EINVAL;
}

}  // namespace

bool IsStandardBaudRate(std::uint32_t rate) {
    speed_t code;
    return speedCode(rate, &code);
}

TermDevice::~TermDevice() {
    close();
}

TermDevice::OpenResult TermDevice::open(const std::string& path, int* error) {
    close();
    auto fail = [&](int e, OpenResult r) {
        if (error) *error = e;
        return r;
    };
    if (path.empty()) return fail(ENOENT, OpenResult::Missing);
    // A port is open in one program at a time: two readers of a tty split its bytes between
    // them. Whoever holds it (a lock, a live UUCP lock file, or an open descriptor, as
    // screen or cat keep one without any lock) keeps it, and we do not touch its lines.
    SerialDeviceId id;
    if (LookUpSerialDevice(path, &id) == DevicePresence::Present && DeviceHeld(id))
        return fail(EBUSY, OpenResult::Unavailable);
    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int e = errno;
        // EIO: an 8250 node with no UART behind it refuses to open.
        if (e == ENOENT || e == ENODEV || e == ENXIO || e == ENOTDIR || e == EIO)
            return fail(e, OpenResult::Missing);
        return fail(e, OpenResult::Unavailable);
    }
    if (!isatty(fd)) {
        ::close(fd);
        return fail(ENOTTY, OpenResult::Missing);
    }
    // Programs that honour port locks (picocom, minicom's lock mode, ...) take a flock; so do
    // we, and we refuse a port someone else holds.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int e = errno;
        ::close(fd);
        return fail(e, OpenResult::Unavailable);
    }
#ifdef TIOCGEXCL
    // A program that made the line exclusive without a flock. Only a privileged process gets this
    // far; it must leave the port to its holder, and not clear the holder's flag on close.
    int exclusive = 0;
    if (ioctl(fd, TIOCGEXCL, &exclusive) == 0 && exclusive) {
        ::close(fd);
        return fail(EBUSY, OpenResult::Unavailable);
    }
#endif
    struct serial_struct ss {};
    if (ioctl(fd, TIOCGSERIAL, &ss) == 0 && ss.type == PORT_UNKNOWN) {
        ::close(fd);
        return fail(ENODEV, OpenResult::Missing);
    }
    // Keeps other openers out (root excepted, which the flock still stops if it asks).
    ioctl(fd, TIOCEXCL);
    struct stat st {};
    const unsigned devMajor = fstat(fd, &st) == 0 ? major(st.st_rdev) : 0;
    fd_ = fd;
    // Unix98 pseudo-terminal slaves (136-143) and the old BSD ones (3).
    pseudo_ = (devMajor >= 136 && devMajor <= 143) || devMajor == 3;
    haveLast_ = false;
    modemLines_ = true;
    counters_ = true;
    eventBaseline_ = false;
    errorBaseline_ = false;
    if (error) *error = 0;
    return OpenResult::Ok;
}

void TermDevice::close() {
    clearQueue();
    queue_.reset();
    queueSize_ = 0;
    if (fd_ < 0) return;
    ioctl(fd_, TIOCNXCL);
    flock(fd_, LOCK_UN);
    ::close(fd_);
    fd_ = -1;
}

bool TermDevice::setTimeouts() {
    if (fd_ < 0) return false;
    struct termios t {};
    if (tcgetattr(fd_, &t) != 0) return false;
    cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    return tcsetattr(fd_, TCSANOW, &t) == 0;
}

bool TermDevice::setupComm(std::uint32_t inQueue, std::uint32_t) {
    // Never below what the terminal itself holds. Never above 64 KiB either, though a port
    // may ask for megabytes: the kernel keeps about as much again behind it, and what is read
    // at once becomes one line of the receive window, which keeps its last 198 lines.
    queueLimit_ = std::clamp<std::size_t>(inQueue, kTerminalHolds, kQueueMost);
    return fd_ >= 0;
}

void TermDevice::clearQueue() {
    queueBegin_ = queueEnd_ = 0;
}

long TermDevice::takeIn() {
    if (fd_ < 0) return -1;
    long taken = 0;
    while (queued() < queueLimit_) {
        // Room for one read of what the terminal holds, by moving the bytes to the front of
        // the block or by a bigger block.
        const std::size_t want = std::min(kTerminalHolds, queueLimit_ - queued());
        if (queueSize_ - queueEnd_ < want) {
            const std::size_t live = queued();
            if (queueBegin_ > 0 && queueSize_ - live >= want) {
                std::memmove(queue_.get(), queue_.get() + queueBegin_, live);
            } else {
                const std::size_t size = std::min(
                    queueLimit_, std::max(queueSize_ * 2, std::size_t{4} * kTerminalHolds));
                std::unique_ptr<std::uint8_t[]> bigger(new std::uint8_t[size]);
                if (live > 0) std::memcpy(bigger.get(), queue_.get() + queueBegin_, live);
                queue_ = std::move(bigger);
                queueSize_ = size;
            }
            queueBegin_ = 0;
            queueEnd_ = live;
        }
        const std::size_t room = std::min(queueSize_ - queueEnd_, queueLimit_ - queued());
        const ssize_t r = ::read(fd_, queue_.get() + queueEnd_, room);
        if (r > 0) {
            queueEnd_ += static_cast<std::size_t>(r);
            taken += r;
            // Less than the terminal holds: most likely all there was (an answer, not a
            // stream), and the caller watches for more anyway; no read just to hear "none".
            if (static_cast<std::size_t>(r) < std::min(room, kTerminalHolds - 1)) break;
            continue;
        }
        if (r < 0 && errno == EINTR) continue;
        if (r < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return taken > 0 ? taken : -1;
        break;
    }
    return taken;
}

bool DcbToTermios(const Dcb& dcb, termios& t) {
    tcflag_t size;
    switch (dcb.ByteSize) {
        case 5:
            size = CS5;
            break;
        case 6:
            size = CS6;
            break;
        case 7:
            size = CS7;
            break;
        case 8:
            size = CS8;
            break;
        default:
            return false;
    }
    tcflag_t parity;
    switch (dcb.Parity) {
        case NOPARITY:
            parity = 0;
            break;
        case ODDPARITY:
            parity = PARENB | PARODD;
            break;
        case EVENPARITY:
            parity = PARENB;
            break;
        case MARKPARITY:
            parity = PARENB | CMSPAR | PARODD;
            break;
        case SPACEPARITY:
            parity = PARENB | CMSPAR;
            break;
        default:
            return false;
    }
    tcflag_t stop;
    switch (dcb.StopBits) {
        case ONESTOPBIT:
            stop = 0;
            break;
        // CSTOPB gives one and a half stop bits at five data bits, two otherwise, as UARTs do.
        case ONE5STOPBITS:
            stop = CSTOPB;
            break;
        case TWOSTOPBITS:
            stop = CSTOPB;
            break;
        default:
            return false;
    }
    // Linux has no DSR/DTR handshake. A line that would silently run without the handshake it
    // was set for loses bytes, so the setting is refused like any other the driver cannot do.
    if (dcb.Flags & (fOutxDsrFlow | fDtrControlHandshake)) return false;
    if (dcb.BaudRate == 0) return false;
    const bool rtsCts = (dcb.Flags & (fOutxCtsFlow | fRtsControlHandshake)) != 0;

    cfmakeraw(&t);
    t.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    t.c_cflag |= size | parity | stop | CLOCAL | CREAD | (rtsCts ? CRTSCTS : 0);
    t.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK);
    if (dcb.Flags & fOutX) t.c_iflag |= IXON;
    if (dcb.Flags & fInX) t.c_iflag |= IXOFF;
    if (dcb.Flags & fParity) t.c_iflag |= INPCK;
    t.c_cc[VSTART] = dcb.XonChar;
    t.c_cc[VSTOP] = dcb.XoffChar;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    speed_t code;
    if (speedCode(dcb.BaudRate, &code)) cfsetspeed(&t, code);
    return true;
}

bool TermDevice::setCommState(const Dcb& dcb) {
    if (fd_ < 0) return false;
    struct termios old {};
    if (tcgetattr(fd_, &old) != 0) return false;
    std::uint32_t oldRate = 0;
    if (detail::GetBaud(fd_, &oldRate) != 0) oldRate = rateOfCode(cfgetospeed(&old));

    // What the line cannot do is refused before anything changes.
    struct termios t = old;
    if (!DcbToTermios(dcb, t)) return false;
    const bool standard = IsStandardBaudRate(dcb.BaudRate);

    auto restore = [&] {
        tcsetattr(fd_, TCSANOW, &old);
        if (oldRate && !IsStandardBaudRate(oldRate)) detail::SetCustomBaud(fd_, oldRate);
    };
    // The C library reports EINVAL when a pseudo-terminal dropped the parity or data bits it
    // was given; the rest was applied and is checked below like on any device.
    if (tcsetattr(fd_, TCSANOW, &t) != 0 && !(pseudo_ && errno == EINVAL)) {
        restore();
        return false;
    }
    if (!standard && detail::SetCustomBaud(fd_, dcb.BaudRate) != 0) {
        restore();
        return false;
    }
    // tcsetattr succeeds when any part was taken; a driver that dropped a bit refused it.
    struct termios now {};
    const tcflag_t framing = CSIZE | PARENB | PARODD | CMSPAR;
    const tcflag_t cmask = (pseudo_ ? 0 : framing) | CSTOPB | CRTSCTS;
    const tcflag_t imask = IXON | IXOFF | INPCK;
    if (tcgetattr(fd_, &now) != 0 || (now.c_cflag & cmask) != (t.c_cflag & cmask) ||
        (now.c_iflag & imask) != (t.c_iflag & imask)) {
        restore();
        return false;
    }
    // The modem lines follow the block, where the device has them.
    if (!(dcb.Flags & fRtsControlHandshake))
        escape((dcb.Flags & fRtsControlEnable) ? SETRTS : CLRRTS);
    escape((dcb.Flags & fDtrControlEnable) ? SETDTR : CLRDTR);
    last_ = dcb;
    haveLast_ = true;
    return true;
}

bool TermDevice::getCommState(Dcb& dcb) const {
    if (fd_ < 0) return false;
    struct termios t {};
    if (tcgetattr(fd_, &t) != 0) return false;
    Dcb d = haveLast_ ? last_ : Dcb{};
    d.DCBlength = sizeof(Dcb);
    std::uint32_t rate = 0;
    if (detail::GetBaud(fd_, &rate) != 0) rate = rateOfCode(cfgetospeed(&t));
    d.BaudRate = rate;
    switch (t.c_cflag & CSIZE) {
        case CS5:
            d.ByteSize = 5;
            break;
        case CS6:
            d.ByteSize = 6;
            break;
        case CS7:
            d.ByteSize = 7;
            break;
        default:
            d.ByteSize = 8;
            break;
    }
    if (!(t.c_cflag & PARENB))
        d.Parity = NOPARITY;
    else if (t.c_cflag & CMSPAR)
        d.Parity = (t.c_cflag & PARODD) ? MARKPARITY : SPACEPARITY;
    else
        d.Parity = (t.c_cflag & PARODD) ? ODDPARITY : EVENPARITY;
    if (pseudo_ && haveLast_) {
        d.ByteSize = last_.ByteSize;
        d.Parity = last_.Parity;
    }
    if (!(t.c_cflag & CSTOPB))
        d.StopBits = ONESTOPBIT;
    else
        d.StopBits = (haveLast_ && last_.StopBits == ONE5STOPBITS) ? ONE5STOPBITS : TWOSTOPBITS;
    std::uint32_t keep = d.Flags & (fDsrSensitivity | fTXContinueOnXoff | fErrorChar | fNull |
                                    fDtrControlEnable | fRtsControlEnable);
    d.Flags = fBinary | keep;
    if (t.c_cflag & CRTSCTS) {
        d.Flags |= fOutxCtsFlow | fRtsControlHandshake;
        d.Flags &= ~fRtsControlEnable;
    }
    if (t.c_iflag & IXON) d.Flags |= fOutX;
    if (t.c_iflag & IXOFF) d.Flags |= fInX;
    if (t.c_iflag & INPCK) d.Flags |= fParity;
    int lines = 0;
    if (ioctl(fd_, TIOCMGET, &lines) == 0) {
        d.Flags &= ~fDtrControlEnable;
        if (lines & TIOCM_DTR) d.Flags |= fDtrControlEnable;
        if (!(t.c_cflag & CRTSCTS)) {
            d.Flags &= ~fRtsControlEnable;
            if (lines & TIOCM_RTS) d.Flags |= fRtsControlEnable;
        }
    }
    d.XonChar = t.c_cc[VSTART];
    d.XoffChar = t.c_cc[VSTOP];
    dcb = d;
    return true;
}

bool TermDevice::clearCommError(std::uint32_t& errors, std::uint32_t& inQueue,
                                std::uint32_t& outQueue) {
    errors = 0;
    inQueue = 0;
    outQueue = 0;
    if (fd_ < 0) return false;
    int in = 0, out = 0;
    if (ioctl(fd_, FIONREAD, &in) != 0) return false;  // a hung-up device answers EIO
    if (ioctl(fd_, TIOCOUTQ, &out) != 0) out = 0;
    inQueue = static_cast<std::uint32_t>(queued() + static_cast<std::size_t>(in > 0 ? in : 0));
    outQueue = out > 0 ? static_cast<std::uint32_t>(out) : 0;
    LineCounters now;
    if (readCounters(now)) {
        if (errorBaseline_) errors = CounterErrors(errorCounts_, now);
        errorCounts_ = now;
        errorBaseline_ = true;
    }
    return true;
}

std::uint32_t TermDevice::waitingCount() const {
    if (fd_ < 0) return 0;
    int in = 0;
    if (ioctl(fd_, FIONREAD, &in) != 0) in = 0;
    return static_cast<std::uint32_t>(queued() + static_cast<std::size_t>(in > 0 ? in : 0));
}

long TermDevice::read(void* buffer, std::size_t n) {
    if (fd_ < 0) return -1;
    if (n == 0) return 0;
    const std::size_t fromQueue = std::min(n, queued());
    if (fromQueue > 0) {
        std::memcpy(buffer, queue_.get() + queueBegin_, fromQueue);
        queueBegin_ += fromQueue;
        if (queued() > 0) return static_cast<long>(fromQueue);
        clearQueue();
        if (fromQueue == n) return static_cast<long>(fromQueue);
    }
    buffer = static_cast<std::uint8_t*>(buffer) + fromQueue;
    n -= fromQueue;
    for (;;) {
        const ssize_t r = ::read(fd_, buffer, n);
        if (r >= 0) return static_cast<long>(fromQueue) + static_cast<long>(r);
        if (fromQueue > 0) return static_cast<long>(fromQueue);
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
        return -1;
    }
}

long TermDevice::write(const void* buffer, std::size_t n) {
    if (fd_ < 0) return -1;
    if (n == 0) return 0;
    for (;;) {
        const ssize_t r = ::write(fd_, buffer, n);
        if (r >= 0) return static_cast<long>(r);
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
        return -1;
    }
}

bool TermDevice::purge(unsigned flags) {
    if (fd_ < 0) return false;
    const bool tx = flags & (PURGE_TXABORT | PURGE_TXCLEAR);
    const bool rx = flags & (PURGE_RXABORT | PURGE_RXCLEAR);
    if (rx) clearQueue();
    if (tx && rx) return tcflush(fd_, TCIOFLUSH) == 0;
    if (tx) return tcflush(fd_, TCOFLUSH) == 0;
    if (rx) return tcflush(fd_, TCIFLUSH) == 0;
    return true;
}

bool TermDevice::escape(unsigned code) {
    if (fd_ < 0) return false;
    int bit;
    unsigned long request;
    switch (code) {
        case SETRTS:
            bit = TIOCM_RTS;
            request = TIOCMBIS;
            break;
        case CLRRTS:
            bit = TIOCM_RTS;
            request = TIOCMBIC;
            break;
        case SETDTR:
            bit = TIOCM_DTR;
            request = TIOCMBIS;
            break;
        case CLRDTR:
            bit = TIOCM_DTR;
            request = TIOCMBIC;
            break;
        default:
            return false;
    }
    if (!modemLines_) return true;
    if (ioctl(fd_, request, &bit) == 0) return true;
    if (notSupported(errno)) {
        modemLines_ = false;
        return true;
    }
    return false;
}

bool TermDevice::readCounters(LineCounters& c) {
    if (!counters_) return false;
    struct serial_icounter_struct ic {};
    if (ioctl(fd_, TIOCGICOUNT, &ic) != 0) {
        if (notSupported(errno)) counters_ = false;
        return false;
    }
    auto u = [](int v) { return static_cast<std::uint32_t>(v); };
    c.cts = u(ic.cts);
    c.dsr = u(ic.dsr);
    c.rng = u(ic.rng);
    c.dcd = u(ic.dcd);
    c.frame = u(ic.frame);
    c.overrun = u(ic.overrun);
    c.parity = u(ic.parity);
    c.brk = u(ic.brk);
    c.bufOverrun = u(ic.buf_overrun);
    return true;
}

std::uint32_t TermDevice::lineEvents() {
    if (fd_ < 0) return 0;
    std::uint32_t events = 0;
    LineCounters now;
    if (readCounters(now)) {
        if (eventBaseline_) events = CounterEvents(lastCounts_, now);
        lastCounts_ = now;
        eventBaseline_ = true;
        return events;
    }
    if (modemLines_) {
        int lines = 0;
        if (ioctl(fd_, TIOCMGET, &lines) == 0) {
            if (eventBaseline_) events = ModemLineEvents(lastModem_, lines);
            lastModem_ = lines;
            eventBaseline_ = true;
        } else if (notSupported(errno)) {
            modemLines_ = false;
        }
    }
    return events;
}

std::uint32_t CounterEvents(const LineCounters& b, const LineCounters& n) {
    std::uint32_t events = 0;
    if (n.cts != b.cts) events |= EV_CTS;
    if (n.dsr != b.dsr) events |= EV_DSR;
    if (n.rng != b.rng) events |= EV_RING;
    if (n.dcd != b.dcd) events |= EV_RLSD;
    if (CounterErrors(b, n)) events |= EV_ERR;
    return events;
}

std::uint32_t CounterErrors(const LineCounters& b, const LineCounters& n) {
    std::uint32_t errors = 0;
    if (n.bufOverrun != b.bufOverrun) errors |= CE_RXOVER;
    if (n.overrun != b.overrun) errors |= CE_OVERRUN;
    if (n.parity != b.parity) errors |= CE_RXPARITY;
    if (n.frame != b.frame) errors |= CE_FRAME;
    if (n.brk != b.brk) errors |= CE_BREAK;
    return errors;
}

std::uint32_t ModemLineEvents(int before, int now) {
    const int changed = before ^ now;
    std::uint32_t events = 0;
    if (changed & TIOCM_CTS) events |= EV_CTS;
    if (changed & TIOCM_DSR) events |= EV_DSR;
    if (changed & TIOCM_CAR) events |= EV_RLSD;
    if ((changed & TIOCM_RNG) && (now & TIOCM_RNG)) events |= EV_RING;
    return events;
}

}  // namespace keldrin::serial
