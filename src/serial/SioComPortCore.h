#pragma once

// The serial engine's core: the device, its open and close sequences, and two threads. The
// event thread waits for line events and polls the receive queue every 200 ms; the write thread
// drains the transmit ring into the device. Events are delivered to the core callback on the
// event thread.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/Errors.h"
#include "serial/SioCircularBuffer.h"
#include "serial/platform/CommTypes.h"
#include "serial/platform/TermDevice.h"

namespace keldrin::serial {

KELDRIN_DECLARE_ERROR(ESioComPortCoreError);

// Raised by a core callback that no longer wants events (its port is closing); the core's
// thread ignores it.
KELDRIN_DECLARE_ERROR(ESioSilentAbort);

enum TSioCoreEvent {
    ckOutputEmptied = 0,
    ckLineEvent = 1,
    ckDataWaiting = 2,
    ckThreadException = 3
};

enum TSioThreadPriority {
    tpIdle,
    tpLowest,
    tpLower,
    tpNormal,
    tpHigher,
    tpHighest,
    tpTimeCritical
};

// kind, data word, and for ckThreadException the error.
using TSioCoreCallback =
    std::function<void(TSioCoreEvent kind, std::uint32_t data, std::exception_ptr error)>;

struct TSioLineStatus {
    std::uint32_t errors = 0;
    std::uint32_t inQue = 0;
    std::uint32_t outQue = 0;
};

class TSioComPortCore {
  public:
    TSioComPortCore();
    ~TSioComPortCore();  // closes
    TSioComPortCore(const TSioComPortCore&) = delete;
    TSioComPortCore& operator=(const TSioComPortCore&) = delete;

    // Set while closed. `events` runs on the event thread; `deviceLost` runs once on the event
    // thread when the device disappears while open (a pulled adapter, a hung-up line).
    void SetCallback(TSioCoreCallback events, std::function<void()> deviceLost = {});

    // Set while closed: whether an emptied ring is reported (ckOutputEmptied). Without a
    // listener the write thread does not wake the event thread for it.
    void SetReportOutputEmptied(bool on) { reportEmptied_ = on; }

    // Main thread. False when already open; raises ESioComPortCoreError when it fails, leaving
    // no device and no thread behind.
    bool Open(int port);
    void Close();
    bool IsOpen() const { return open_.load(); }
    bool IsActive() const { return active_.load(); }

    // Stores the block; on an active core applies it at once. A refusal reads the driver's block
    // back into the core's copy and raises "Error setting parameters from DCB".
    void SetDcb(const Dcb& dcb);
    Dcb GetDcb() const;
    void SetQueueSizes(std::uint32_t inQueue, std::uint32_t outQueue);
    void SetPriorities(TSioThreadPriority eventThread, TSioThreadPriority writeThread);

    // Queues all bytes or none; false when not active or the ring has too little room.
    bool Write(const void* bytes, std::size_t n);
    // While held (the calls nest), writes only queue: the write thread is not woken per byte
    // but once, by the last release, for everything queued meanwhile; that release returns
    // once the write thread has taken the bytes (at most 50 ms). The order of the bytes on the
    // wire is the order of the writes either way.
    void HoldWrites();
    void ReleaseWrites();
    // Reads up to n waiting bytes: the count read, -1 when not active.
    long Read(void* buffer, std::size_t n);
    TSioLineStatus LineStatus();
    // The bytes waiting to be read, alone: no error bits are collected (the next line status
    // still finds them) and the transmit side is not asked. 0 when not active.
    std::uint32_t WaitingCount();
    std::uint32_t TakeLineErrors();
    bool PurgeReceive();
    bool PurgeTransmit();
    std::uint32_t FreeOutputSpace();
    bool EscapeCommFunction(unsigned code);
    int Handle() const { return device_.fd(); }
    int Port() const { return port_; }

  private:
    void closeSequence();
    void eventThreadMain(std::shared_ptr<std::promise<void>> started);
    void writeThreadMain(std::shared_ptr<std::promise<void>> started);
    bool queryLineStatus(TSioLineStatus& status);
    void deliver(TSioCoreEvent kind, std::uint32_t data, std::exception_ptr error = nullptr);
    void reportLost();
    void stopWriteThread();
    void stopEventThread();

    TermDevice device_;
    int port_ = 0;
    std::atomic<bool> active_{false};
    std::atomic<bool> open_{false};
    Dcb dcb_{};
    std::uint32_t inQueue_ = 8192;
    std::uint32_t outQueue_ = 4096;
    std::atomic<int> eventPriority_{tpNormal};
    std::atomic<int> writePriority_{tpHigher};
    std::atomic<int> eventTid_{0};
    std::atomic<int> writeTid_{0};

    std::mutex ReceiveLock;        // handle-level calls made from more than one thread
    std::mutex TransmitLock;       // the ring and the write thread's state below
    std::uint32_t LineErrors = 0;  // under ReceiveLock

    // Write thread's state, under TransmitLock.
    std::unique_ptr<TSioCircularBuffer> ring_;
    std::condition_variable writerWake_;  // data, stop or purge for a waiting write thread
    std::condition_variable purgeAcked_;  // the write thread parked for a purge
    bool writerIdle_ = false;
    bool writerStop_ = false;
    bool purgeRequest_ = false;
    bool purgeAck_ = false;
    bool writerFailed_ = false;
    int writeHold_ = 0;
    std::uint64_t takenSeq_ = 0;     // blocks the write thread has taken from the ring
    std::condition_variable taken_;  // a block was taken
    std::atomic<bool> reportEmptied_{true};

    // Wake-ups of threads blocked in the kernel: eventfds.
    int eventStopFd_ = -1;      // stop the event thread
    int writerKickFd_ = -1;     // stop or purge for a write thread waiting for the device
    int outputEmptiedFd_ = -1;  // write thread -> event thread: the ring ran empty

    std::mutex callbackLock_;
    TSioCoreCallback configured_;  // what SetCallback gave
    std::function<void()> configuredLost_;
    TSioCoreCallback callback_;  // attached while open, detached first thing at close
    std::function<void()> deviceLost_;
    std::atomic<bool> lostReported_{false};

    std::thread eventThread_;
    std::thread writeThread_;
};

// Shows the error of an engine thread that has nobody else to tell, on the window thread.
void ShowThreadError(const std::string& text);

}  // namespace keldrin::serial
