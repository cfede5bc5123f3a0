#pragma once

// The terminal-device layer: one serial device opened through termios, offering the operations
// the serial core needs (open exclusively, raw line, control block in and out, line status,
// read, write, purge, modem lines and line events). Every call returns at once; nothing here
// waits for the device.

#include <termios.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "serial/platform/CommTypes.h"

namespace keldrin::serial {

// The driver's interrupt counters (TIOCGICOUNT) that line events and errors are read from.
struct LineCounters {
    std::uint32_t cts = 0, dsr = 0, rng = 0, dcd = 0;
    std::uint32_t frame = 0, overrun = 0, parity = 0, brk = 0, bufOverrun = 0;
};

// EV_CTS, EV_DSR, EV_RING, EV_RLSD and EV_ERR for the counters that moved between two readings;
// counting catches a line that flickered between them.
std::uint32_t CounterEvents(const LineCounters& before, const LineCounters& now);
// CE_* bits for the error counters that moved.
std::uint32_t CounterErrors(const LineCounters& before, const LineCounters& now);
// Events from two readings of the modem lines (TIOCM_* bits), for drivers without counters: a
// change of CTS, DSR or DCD, and the ring indicator coming on.
std::uint32_t ModemLineEvents(int before, int now);

class TermDevice {
  public:
    enum class OpenResult {
        Ok,
        Missing,     // no such device, or a serial node with no UART behind it
        Unavailable  // it exists but cannot be had: held by another program, access denied, ...
    };

    TermDevice() = default;
    ~TermDevice();
    TermDevice(const TermDevice&) = delete;
    TermDevice& operator=(const TermDevice&) = delete;

    // Opens for reading and writing, non-blocking, without becoming the controlling terminal,
    // exclusively (TIOCEXCL and a non-blocking flock). A device that another program holds
    // (DeviceHeld: a lock, a live UUCP lock file, an open descriptor) is refused before it is
    // opened. `error` receives errno on failure.
    OpenResult open(const std::string& path, int* error = nullptr);
    bool isOpen() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    // Releases the exclusive use and closes; harmless when closed.
    void close();

    // Raw line, reads that return at once with whatever is waiting.
    bool setTimeouts();
    // The terminal layer holds at most 4 KiB of received bytes, so a receive queue of the asked
    // size (4 to 64 KiB) is kept here, filled by `takeIn`; Linux sizes the transmit queue.
    bool setupComm(std::uint32_t inQueue, std::uint32_t outQueue);
    // Applies the control block; false when the driver refuses it, in which case the line keeps
    // the settings it had before the call.
    bool setCommState(const Dcb& dcb);
    // The control block the driver holds now.
    bool getCommState(Dcb& dcb) const;

    // Error bits since the last call, and the bytes waiting in either direction (the receive
    // queue's and the terminal's). False when the
    // device is gone (a hung-up or pulled device). Callers serialise it (the core's ReceiveLock).
    bool clearCommError(std::uint32_t& errors, std::uint32_t& inQueue, std::uint32_t& outQueue);
    // The bytes waiting to be read (the receive queue's and the terminal's); 0 when the device
    // is gone. Callers serialise it with read.
    std::uint32_t waitingCount() const;
    // Up to n waiting bytes, the receive queue's first; 0 when none; -1 when the device failed.
    long read(void* buffer, std::size_t n);
    // Moves what the terminal holds into the receive queue, until the terminal has nothing
    // more or the queue is full: the bytes moved, -1 when the device failed. Run by whoever
    // watches the device, so bytes go on arriving while the reader is busy; the terminal's own
    // buffer alone would hold the device back after 4 KiB. Callers serialise it with read.
    long takeIn();
    bool receiveQueueFull() const { return queued() >= queueLimit_; }
    std::size_t receiveQueued() const { return queued(); }
    // Writes what the device takes now: the count, 0 when it takes nothing now (wait for
    // POLLOUT), -1 when the device failed.
    long write(const void* buffer, std::size_t n);
    // PURGE_* flags: discards the queues of the chosen directions.
    bool purge(unsigned flags);
    // SETRTS, CLRRTS, SETDTR, CLRDTR. A device without modem lines (a pseudo-terminal) accepts
    // and ignores it.
    bool escape(unsigned code);

    // For the event thread only: the EV_CTS, EV_DSR, EV_RING, EV_RLSD and EV_ERR events since the
    // previous call, from the driver's interrupt counters where it keeps them, else from the
    // modem lines compared with the previous call. The first call after open takes the baseline.
    std::uint32_t lineEvents();

    // A pseudo-terminal: no line, so it holds no data bits or parity (the kernel keeps it at
    // eight bits without parity); the block's framing is remembered instead of refused.
    bool isPseudoTerminal() const { return pseudo_; }

  private:
    bool readCounters(LineCounters& counters);
    std::size_t queued() const { return queueEnd_ - queueBegin_; }
    void clearQueue();

    int fd_ = -1;
    Dcb last_{};  // the fields termios cannot hold (limits, unused characters) are kept here
    bool haveLast_ = false;
    bool pseudo_ = false;
    // The receive queue: bytes [queueBegin_, queueEnd_) of a block that grows up to the limit
    // as traffic needs it; let go at close.
    std::unique_ptr<std::uint8_t[]> queue_;
    std::size_t queueSize_ = 0, queueBegin_ = 0, queueEnd_ = 0;
    std::size_t queueLimit_ = 4096;
    // Learnt from the first refusal; read and written by the main and the event thread.
    std::atomic<bool> modemLines_{true};
    std::atomic<bool> counters_{true};
    // Event thread's baseline.
    bool eventBaseline_ = false;
    int lastModem_ = 0;
    LineCounters lastCounts_;
    // Line-status baseline (callers serialise clearCommError).
    bool errorBaseline_ = false;
    LineCounters errorCounts_;
};

// The terminal attributes of a control block, on top of `t` (which keeps what the block does not
// speak of). False when the block asks for what a Linux terminal cannot do: data bits other than
// 5 to 8, an unknown parity or stop-bit code, the DTR/DSR handshake, a rate of 0.
bool DcbToTermios(const Dcb& dcb, termios& t);

// Rates that termios names with a B constant; the others go through termios2 and BOTHER.
bool IsStandardBaudRate(std::uint32_t rate);

}  // namespace keldrin::serial
