#include "serial/SioComPortCore.h"

#include <errno.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QString>
#include <chrono>
#include <cstdio>

#include "platform/Seams.h"
#include "serial/SioSafeSync.h"
#include "serial/platform/PortMap.h"

namespace keldrin::serial {

namespace {

constexpr int kPollIntervalMs = 200;
constexpr auto kThreadStartTimeout = std::chrono::milliseconds(3000);
constexpr auto kPurgeAckTimeout = std::chrono::milliseconds(2000);
constexpr auto kHandOverLimit = std::chrono::milliseconds(50);

std::string withPort(const char* format, int port) {
    char text[96];
    std::snprintf(text, sizeof text, format, port);
    return text;
}

int currentTid() {
    return static_cast<int>(syscall(SYS_gettid));
}

void kick(int fd) {
    if (fd < 0) return;
    const std::uint64_t one = 1;
    while (::write(fd, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

void drain(int fd) {
    std::uint64_t value;
    while (::read(fd, &value, sizeof value) < 0 && errno == EINTR) {
    }
}

void closeFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

// Nice values for the seven priority steps. Raising a priority needs a privilege most users do
// not have; the thread then simply keeps the priority it has.
void setNice(int tid, int priority) {
    static const int kNice[] = {19, 10, 5, 0, -5, -10, -15};
    if (tid <= 0 || priority < 0 || priority > 6) return;
    setpriority(PRIO_PROCESS, static_cast<id_t>(tid), kNice[priority]);
}

std::string errorText(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "unknown error";
    }
}

}  // namespace

void ShowThreadError(const std::string& text) {
    const bool posted =
        SioSafeSync::PostWork([text] { platform::ErrorBox(QString::fromLocal8Bit(text.c_str())); });
    if (!posted) std::fprintf(stderr, "%s\n", text.c_str());
}

TSioComPortCore::TSioComPortCore() {
    dcb_.DCBlength = sizeof(Dcb);
    dcb_.BaudRate = 115200;
    dcb_.ByteSize = 8;
    dcb_.Flags = fBinary | fDtrControlEnable | fRtsControlEnable;
    dcb_.XonChar = 17;
    dcb_.XoffChar = 19;
}

TSioComPortCore::~TSioComPortCore() {
    Close();
}

void TSioComPortCore::SetCallback(TSioCoreCallback events, std::function<void()> deviceLost) {
    std::lock_guard<std::mutex> lock(callbackLock_);
    configured_ = std::move(events);
    configuredLost_ = std::move(deviceLost);
}

bool TSioComPortCore::Open(int port) {
    if (open_.load()) return false;
    if (port <= 0) throw ESioComPortCoreError(withPort("Invalid port number (COM%d)", port));
    const std::string path = PortDeviceName(port);
    if (path.empty()) throw ESioComPortCoreError(withPort("Invalid port number (COM%d)", port));
    switch (device_.open(path)) {
        case TermDevice::OpenResult::Ok:
            break;
        case TermDevice::OpenResult::Missing:
            throw ESioComPortCoreError(withPort("Invalid port number (COM%d)", port));
        case TermDevice::OpenResult::Unavailable:
            throw ESioComPortCoreError(withPort("Can't open device COM%d", port));
    }
    port_ = port;
    try {
        if (!device_.setTimeouts()) throw ESioComPortCoreError("Error setting timeouts");
        if (!device_.setupComm(inQueue_, outQueue_))
            throw ESioComPortCoreError("Error initializing buffers");
        // Every line event is always watched on this platform; the mask has no call of its own.
        if (!device_.setCommState(dcb_)) {
            device_.getCommState(dcb_);
            throw ESioComPortCoreError("Error setting parameters from DCB");
        }
        {
            std::lock_guard<std::mutex> lock(ReceiveLock);
            LineErrors = 0;
        }
        eventStopFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        writerKickFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        outputEmptiedFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (eventStopFd_ < 0 || writerKickFd_ < 0 || outputEmptiedFd_ < 0)
            throw ESioComPortCoreError("Error creating threads");
        {
            std::lock_guard<std::mutex> lock(callbackLock_);
            callback_ = configured_;
            deviceLost_ = configuredLost_;
        }
        lostReported_ = false;

        {
            std::lock_guard<std::mutex> lock(TransmitLock);
            ring_ = std::make_unique<TSioCircularBuffer>(outQueue_);
            writerIdle_ = false;
            writerStop_ = false;
            purgeRequest_ = false;
            purgeAck_ = false;
            writerFailed_ = false;
            writeHold_ = 0;
        }
        auto startThread = [](std::thread& t, auto body) {
            auto started = std::make_shared<std::promise<void>>();
            auto confirmed = started->get_future();
            try {
                t = std::thread(body, started);
            } catch (const std::system_error&) {
                throw ESioComPortCoreError("Error creating threads");
            }
            if (confirmed.wait_for(kThreadStartTimeout) != std::future_status::ready)
                throw ESioComPortCoreError("Error creating threads");
        };
        startThread(writeThread_, [this](auto s) { writeThreadMain(s); });
        active_ = true;
        startThread(eventThread_, [this](auto s) { eventThreadMain(s); });
    } catch (...) {
        closeSequence();
        throw;
    }
    open_ = true;
    return true;
}

void TSioComPortCore::Close() {
    closeSequence();
    open_ = false;
}

void TSioComPortCore::closeSequence() {
    if (!device_.isOpen()) return;
    active_ = false;
    {
        std::lock_guard<std::mutex> lock(ReceiveLock);
        device_.purge(PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
    }
    // The waits for the threads stay outside ReceiveLock: the event thread may need it for a
    // last line status before it sees the stop.
    stopWriteThread();
    stopEventThread();
    {
        std::lock_guard<std::mutex> lock(ReceiveLock);
        device_.purge(PURGE_RXABORT | PURGE_RXCLEAR);
        device_.close();
    }
    closeFd(eventStopFd_);
    closeFd(writerKickFd_);
    closeFd(outputEmptiedFd_);
}

void TSioComPortCore::stopWriteThread() {
    {
        std::lock_guard<std::mutex> lock(TransmitLock);
        writerStop_ = true;
        if (ring_) ring_->Clear();
    }
    writerWake_.notify_all();
    kick(writerKickFd_);
    if (writeThread_.joinable()) writeThread_.join();
    device_.purge(PURGE_TXABORT | PURGE_TXCLEAR);
    std::lock_guard<std::mutex> lock(TransmitLock);
    ring_.reset();
}

void TSioComPortCore::stopEventThread() {
    {
        // Nothing more reaches the port from here on.
        std::lock_guard<std::mutex> lock(callbackLock_);
        callback_ = nullptr;
        deviceLost_ = nullptr;
    }
    kick(eventStopFd_);
    if (eventThread_.joinable()) eventThread_.join();
}

void TSioComPortCore::SetDcb(const Dcb& dcb) {
    dcb_ = dcb;
    if (!active_.load()) return;
    if (!device_.setCommState(dcb_)) {
        device_.getCommState(dcb_);
        throw ESioComPortCoreError("Error setting parameters from DCB");
    }
}

Dcb TSioComPortCore::GetDcb() const {
    return dcb_;
}

void TSioComPortCore::SetQueueSizes(std::uint32_t inQueue, std::uint32_t outQueue) {
    inQueue_ = inQueue;
    outQueue_ = outQueue;
}

void TSioComPortCore::SetPriorities(TSioThreadPriority eventThread,
                                    TSioThreadPriority writeThread) {
    eventPriority_ = eventThread;
    writePriority_ = writeThread;
    if (active_.load()) {
        setNice(eventTid_.load(), eventThread);
        setNice(writeTid_.load(), writeThread);
    }
}

bool TSioComPortCore::Write(const void* bytes, std::size_t n) {
    if (!active_.load()) return false;
    bool wake = false;
    {
        std::lock_guard<std::mutex> lock(TransmitLock);
        if (!ring_ || !ring_->Append(bytes, n)) return false;
        // Only a write thread asleep for want of data needs waking: a busy one finds the
        // bytes when it comes back for more, so a byte-by-byte sender costs no system call.
        if (writerIdle_ && writeHold_ == 0) {
            writerIdle_ = false;
            wake = true;
        }
    }
    if (wake) writerWake_.notify_one();
    return true;
}

void TSioComPortCore::HoldWrites() {
    std::lock_guard<std::mutex> lock(TransmitLock);
    ++writeHold_;
}

void TSioComPortCore::ReleaseWrites() {
    std::unique_lock<std::mutex> lock(TransmitLock);
    if (writeHold_ > 0) --writeHold_;
    if (writeHold_ != 0 || !ring_ || ring_->UsedCount() == 0) return;
    const std::uint64_t seq = takenSeq_;
    if (writerIdle_) {
        writerIdle_ = false;
        // Woken outside the lock, the write thread does not wake only to wait for it.
        lock.unlock();
        writerWake_.notify_one();
        lock.lock();
    }
    // The hand-over ends when the write thread has taken the bytes (it writes them at once),
    // as it did when it was woken per byte: a purge right after, at the end of a run, finds
    // the line on its way, not still queued. Bounded, for a device that takes nothing now.
    taken_.wait_for(lock, kHandOverLimit, [&] {
        return takenSeq_ != seq || writerStop_ || writerFailed_ || purgeRequest_ || !ring_ ||
               ring_->UsedCount() == 0;
    });
}

long TSioComPortCore::Read(void* buffer, std::size_t n) {
    if (!active_.load()) return -1;
    std::lock_guard<std::mutex> lock(ReceiveLock);
    const long r = device_.read(buffer, n);
    return r < 0 ? 0 : r;
}

bool TSioComPortCore::queryLineStatus(TSioLineStatus& status) {
    status = {};
    if (!active_.load()) return true;
    std::lock_guard<std::mutex> lock(ReceiveLock);
    if (!device_.isOpen()) return true;
    if (!device_.clearCommError(status.errors, status.inQue, status.outQue)) return false;
    LineErrors |= status.errors;
    return true;
}

TSioLineStatus TSioComPortCore::LineStatus() {
    TSioLineStatus status;
    queryLineStatus(status);
    return status;
}

std::uint32_t TSioComPortCore::WaitingCount() {
    if (!active_.load()) return 0;
    std::lock_guard<std::mutex> lock(ReceiveLock);
    return device_.waitingCount();
}

std::uint32_t TSioComPortCore::TakeLineErrors() {
    if (!active_.load()) return 0;
    std::lock_guard<std::mutex> lock(ReceiveLock);
    const std::uint32_t errors = LineErrors;
    LineErrors = 0;
    return errors;
}

bool TSioComPortCore::PurgeReceive() {
    if (!active_.load()) return false;
    std::lock_guard<std::mutex> lock(ReceiveLock);
    return device_.purge(PURGE_RXABORT | PURGE_RXCLEAR);
}

bool TSioComPortCore::PurgeTransmit() {
    if (!active_.load()) return false;
    std::unique_lock<std::mutex> lock(TransmitLock);
    purgeRequest_ = true;
    purgeAck_ = false;
    writerWake_.notify_all();
    kick(writerKickFd_);
    // The write thread parks while the ring is cleared, so no byte of it is written afterwards.
    if (!purgeAcked_.wait_for(lock, kPurgeAckTimeout, [&] { return purgeAck_ || writerStop_; }) ||
        !purgeAck_) {
        purgeRequest_ = false;
        writerWake_.notify_all();
        return false;
    }
    if (ring_) ring_->Clear();
    drain(outputEmptiedFd_);  // no "output emptied" for what was purged
    const bool ok = device_.purge(PURGE_TXABORT | PURGE_TXCLEAR);
    purgeRequest_ = false;
    purgeAck_ = false;
    lock.unlock();
    writerWake_.notify_all();
    return ok;
}

std::uint32_t TSioComPortCore::FreeOutputSpace() {
    if (!active_.load()) return 0;
    std::lock_guard<std::mutex> lock(TransmitLock);
    return ring_ ? static_cast<std::uint32_t>(ring_->FreeCount()) : 0;
}

bool TSioComPortCore::EscapeCommFunction(unsigned code) {
    if (!active_.load()) return false;
    return device_.escape(code);
}

void TSioComPortCore::deliver(TSioCoreEvent kind, std::uint32_t data, std::exception_ptr error) {
    TSioCoreCallback callback;
    {
        std::lock_guard<std::mutex> lock(callbackLock_);
        callback = callback_;
    }
    if (!callback) return;
    try {
        callback(kind, data, error);
    } catch (const ESioSilentAbort&) {
    } catch (...) {
        // Raised again on the window thread, where the error log takes it.
        const auto escaped = std::current_exception();
        {
            std::lock_guard<std::mutex> lock(callbackLock_);
            callback = callback_;
        }
        if (!callback) {
            ShowThreadError(errorText(escaped));
            return;
        }
        try {
            callback(ckThreadException, 0, escaped);
        } catch (...) {
        }
    }
}

void TSioComPortCore::reportLost() {
    if (lostReported_.exchange(true)) return;
    std::function<void()> lost;
    {
        std::lock_guard<std::mutex> lock(callbackLock_);
        lost = deviceLost_;
    }
    if (!lost) return;
    try {
        lost();
    } catch (const std::exception& e) {
        ShowThreadError(e.what());
    }
}

void TSioComPortCore::eventThreadMain(std::shared_ptr<std::promise<void>> started) {
    eventTid_ = currentTid();
    setNice(eventTid_.load(), eventPriority_.load());
    const int ep = epoll_create1(EPOLL_CLOEXEC);
    auto add = [&](int fd, std::uint32_t events) {
        epoll_event ev{};
        ev.events = events;
        ev.data.fd = fd;
        return epoll_ctl(ep, EPOLL_CTL_ADD, fd, &ev) == 0;
    };
    const int dev = device_.fd();
    // This thread takes received bytes into the receive queue as they come, also while the
    // window thread handles the previous ones, as a driver fills its queue; the device is
    // watched while the queue has room (level-triggered: what is there is taken at once).
    const bool ready = ep >= 0 && add(eventStopFd_, EPOLLIN) && add(outputEmptiedFd_, EPOLLIN) &&
                       add(dev, EPOLLIN);
    bool watching = true;
    auto watchDevice = [&](bool on) {
        if (on == watching) return;
        epoll_event ev{};
        ev.events = on ? std::uint32_t{EPOLLIN} : 0u;  // a hang-up is reported either way
        ev.data.fd = dev;
        epoll_ctl(ep, EPOLL_CTL_MOD, dev, &ev);
        watching = on;
    };
    bool arrived = false;  // bytes came in since the last "character received"
    bool failed = false;
    bool full = false;
    // The bytes taken in; false when the device is not to be watched for now (queue full,
    // device failed or nothing there after all).
    auto takeIn = [&]() -> bool {
        if (!active_.load()) return false;
        long taken;
        {
            std::lock_guard<std::mutex> lock(ReceiveLock);
            if (!device_.isOpen()) return false;
            taken = device_.takeIn();
            full = device_.receiveQueueFull();
        }
        if (taken < 0) failed = true;
        if (taken > 0) arrived = true;
        return taken > 0 && !full;
    };
    SioWaitSideWork whileHandingOver(dev, takeIn);
    started->set_value();
    try {
        bool lost = !ready;
        device_.lineEvents();  // baseline of the modem lines and counters
        // The receive queue is polled 200 ms after the last "character received", however
        // many other events (output emptied, modem lines) come in between.
        using Clock = std::chrono::steady_clock;
        const auto interval = std::chrono::milliseconds(kPollIntervalMs);
        auto nextPoll = Clock::now() + interval;
        // Readable, yet nothing to read, several times running (the window thread may read
        // first now and then): the device is left to the next poll rather than spin on it.
        int emptyTakes = 0;
        bool resting = false;
        while (!lost) {
            if (full) {  // the window thread may have read meanwhile
                std::lock_guard<std::mutex> lock(ReceiveLock);
                full = device_.receiveQueueFull();
            }
            watchDevice(!full && !resting);
            epoll_event events[4];
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(nextPoll - Clock::now())
                    .count();
            const int n = epoll_wait(ep, events, 4, arrived || left <= 0 ? 0 : int(left));
            if (n < 0) {
                if (errno == EINTR) continue;
                lost = true;
                break;
            }
            bool stop = false, emptied = false, readable = false;
            for (int i = 0; i < n; ++i) {
                const int fd = events[i].data.fd;
                if (fd == eventStopFd_) {
                    stop = true;
                } else if (fd == outputEmptiedFd_) {
                    drain(outputEmptiedFd_);
                    emptied = true;
                } else if (events[i].events & (EPOLLHUP | EPOLLERR)) {
                    lost = true;
                } else if (events[i].events & EPOLLIN) {
                    readable = true;
                }
            }
            if (stop) break;
            if (emptied) deliver(ckOutputEmptied, 0);
            if (lost) break;
            if (readable) {
                const bool took = takeIn() || full || failed;
                emptyTakes = took ? 0 : emptyTakes + 1;
                resting = emptyTakes >= 3;
            }
            if (failed) {
                lost = true;
                break;
            }
            std::uint32_t mask = device_.lineEvents();
            if (arrived) {
                arrived = false;
                // Bytes the last handler already read raise no event of their own.
                std::lock_guard<std::mutex> lock(ReceiveLock);
                if (device_.receiveQueued() > 0) mask |= EV_RXCHAR;
            }
            if (mask & EV_RXCHAR) nextPoll = Clock::now() + interval;
            if (mask) deliver(ckLineEvent, mask);
            if (failed) {
                lost = true;
                break;
            }
            if (Clock::now() >= nextPoll) {
                nextPoll = Clock::now() + interval;
                resting = false;
                emptyTakes = 0;
                TSioLineStatus status;
                if (!queryLineStatus(status)) {
                    lost = true;
                    break;
                }
                if (status.inQue > 0) deliver(ckDataWaiting, status.inQue);
            }
        }
        if (lost) {
            reportLost();
            // Nothing more to watch: sleep until the close sequence stops us.
            pollfd p{eventStopFd_, POLLIN, 0};
            while (poll(&p, 1, -1) < 0 && errno == EINTR) {
            }
        }
    } catch (const std::exception& e) {
        ShowThreadError(e.what());
    }
    if (ep >= 0) ::close(ep);
}

void TSioComPortCore::writeThreadMain(std::shared_ptr<std::promise<void>> started) {
    writeTid_ = currentTid();
    setNice(writeTid_.load(), writePriority_.load());
    const int dev = device_.fd();
    std::unique_lock<std::mutex> lock(TransmitLock);
    started->set_value();
    try {
        for (;;) {
            if (writerStop_) break;
            if (purgeRequest_) {
                purgeAck_ = true;
                purgeAcked_.notify_all();
                writerWake_.wait(lock, [&] { return writerStop_ || !purgeRequest_; });
                drain(writerKickFd_);
                continue;
            }
            if (writerFailed_) {
                // The device is gone; wait for the close without touching it again.
                writerWake_.wait(lock, [&] { return writerStop_ || purgeRequest_; });
                continue;
            }
            if (ring_->UsedCount() == 0) {
                writerIdle_ = true;
                writerWake_.wait(lock);
                writerIdle_ = false;
                continue;
            }
            const std::uint8_t* block = ring_->Data() + ring_->ReadPosition();
            const std::size_t len = ring_->ContiguousReadable();
            ++takenSeq_;
            lock.unlock();
            taken_.notify_all();
            const long written = device_.write(block, len);
            if (written == 0) {
                // The device takes nothing now: wait until it does, or for a stop or a purge.
                pollfd p[2] = {{dev, POLLOUT, 0}, {writerKickFd_, POLLIN, 0}};
                int r;
                while ((r = poll(p, 2, -1)) < 0 && errno == EINTR) {
                }
                if (p[1].revents & POLLIN) drain(writerKickFd_);
                lock.lock();
                if (r < 0 || (p[0].revents & (POLLERR | POLLNVAL | POLLHUP))) {
                    writerFailed_ = true;
                    lock.unlock();
                    reportLost();
                    lock.lock();
                }
                continue;
            }
            lock.lock();
            if (written < 0) {
                writerFailed_ = true;
                lock.unlock();
                reportLost();
                lock.lock();
                continue;
            }
            // A short write sent what it sent; the rest stays queued for the next pass.
            ring_->Consume(static_cast<std::size_t>(written));
            if (ring_->UsedCount() == 0 && reportEmptied_.load()) kick(outputEmptiedFd_);
        }
    } catch (const std::exception& e) {
        if (lock.owns_lock()) lock.unlock();
        ShowThreadError(e.what());
    }
}

}  // namespace keldrin::serial
