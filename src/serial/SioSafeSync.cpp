#include "serial/SioSafeSync.h"

#include <errno.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QObject>
#include <QPointer>
#include <QSocketNotifier>
#include <QThread>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/Guard.h"

namespace keldrin::serial {

namespace {

struct Slot {
    bool used = false;
    bool enabled = false;
    std::uint32_t id = 0;
    SioSyncHandler handler;
};

// An eventfd that wakes a caller waiting in poll (see SioWaitSideWork). Shared with the calls
// it waits for, so a handler that runs late never writes to a descriptor closed meanwhile.
struct WakeFd {
    int fd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    ~WakeFd() {
        if (fd >= 0) ::close(fd);
    }
    void kick() const {
        const std::uint64_t one = 1;
        while (fd >= 0 && ::write(fd, &one, sizeof one) < 0 && errno == EINTR) {
        }
    }
    void drain() const {
        std::uint64_t value;
        while (fd >= 0 && ::read(fd, &value, sizeof value) < 0 && errno == EINTR) {
        }
    }
};

struct PendingCall {
    bool done = false;             // guarded by the hand-off's mutex
    std::shared_ptr<WakeFd> wake;  // set before the call is queued; null for a plain wait
};

struct SideWork {
    int fd = -1;
    std::function<bool()> work;
    std::shared_ptr<WakeFd> wake;
};

thread_local SideWork* tSideWork = nullptr;

// One call on its way to the window thread. The queue is ours, under our own mutex, and the
// window thread is woken through an eventfd: every hand-over between the threads is visible to
// the thread checker, and calls keep their order.
struct Queued {
    std::uint32_t id = 0;
    SioSyncMessage message;
    std::shared_ptr<PendingCall> call;  // null for posts nobody waits for
    std::function<void()> work;         // set for PostWork
};

struct SyncState {
    std::mutex mutex;
    std::condition_variable changed;
    Slot table[SioSafeSync::kSlotCount];
    std::uint32_t nextId = 1;
    std::deque<Queued> queue;
    int running = 0;  // items the window thread is running now (nested ones included)
    int wakeFd = -1;
    QThread* windowThread = nullptr;
    QPointer<QSocketNotifier> notifier;                // lives on the window thread
    std::vector<std::shared_ptr<WakeFd>> sideWaiters;  // callers waiting in poll
};

SyncState& state() {
    static SyncState s;
    return s;
}

Slot* findSlot(SyncState& s, std::uint32_t id) {
    if (id == 0) return nullptr;
    for (auto& slot : s.table) {
        if (slot.used && slot.id == id) return &slot;
    }
    return nullptr;
}

bool callable(SyncState& s, std::uint32_t id) {
    const Slot* slot = findSlot(s, id);
    return slot && slot->enabled && slot->handler;
}

// On the window thread: runs the handler when the slot still wants it, then releases the caller.
void receive(Queued& item) {
    SyncState& s = state();
    if (item.work) {
        guarded("SioSafeSync", [&] { item.work(); });
        return;
    }
    SioSyncHandler handler;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        if (callable(s, item.id)) handler = findSlot(s, item.id)->handler;
    }
    if (handler) guarded("SioSafeSync", [&] { handler(item.message); });
    if (item.call) {
        std::shared_ptr<WakeFd> wake;
        {
            std::lock_guard<std::mutex> lock(s.mutex);
            item.call->done = true;
            wake = item.call->wake;
        }
        s.changed.notify_all();
        if (wake) wake->kick();
    }
}

// The window thread's side of the eventfd: everything queued, in order, one at a time.
void drainQueue() {
    SyncState& s = state();
    std::uint64_t count;
    while (::read(s.wakeFd, &count, sizeof count) < 0 && errno == EINTR) {
    }
    for (;;) {
        Queued item;
        {
            std::lock_guard<std::mutex> lock(s.mutex);
            if (s.queue.empty()) return;
            item = std::move(s.queue.front());
            s.queue.pop_front();
            ++s.running;
        }
        receive(item);
        std::lock_guard<std::mutex> lock(s.mutex);
        --s.running;
    }
}

// Under the mutex, on the window thread: the eventfd and its notifier, once per application.
void ensureReceiver(SyncState& s) {
    if (s.notifier) return;
    if (s.wakeFd < 0) s.wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (s.wakeFd < 0) return;
    auto* app = QCoreApplication::instance();
    auto* notifier = new QSocketNotifier(s.wakeFd, QSocketNotifier::Read, app);
    notifier->setObjectName(QStringLiteral("SioSafeSyncObjWnd"));
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [] { drainQueue(); });
    s.notifier = notifier;
    s.windowThread = QThread::currentThread();
}

bool enqueue(SyncState& s, Queued item) {
    // Called with the mutex held.
    if (!s.notifier || s.wakeFd < 0) return false;
    // The window thread empties the whole queue per wake-up, so only the first item of a
    // batch needs to wake it; while it runs an item (whose handler may pump events and so
    // take the next ones nested) every item wakes it, as it always did.
    const bool wake = s.queue.empty() || s.running > 0;
    s.queue.push_back(std::move(item));
    if (!wake) return true;
    const std::uint64_t one = 1;
    while (::write(s.wakeFd, &one, sizeof one) < 0 && errno == EINTR) {
    }
    return true;
}

// Wakes the callers waiting in poll, to look at their slots again. Called with the mutex held.
std::vector<std::shared_ptr<WakeFd>> sideWaiters(SyncState& s) {
    return s.sideWaiters;
}

void kickAll(const std::vector<std::shared_ptr<WakeFd>>& waiters) {
    for (const auto& w : waiters) w->kick();
}

// The wait of a call made from a thread with side work: poll on the call's wake-up and the side
// work's descriptor until the call is done, its slot disabled, or the time-out passed.
void waitWithSideWork(SyncState& s, std::unique_lock<std::mutex>& lock, SideWork& side,
                      const std::shared_ptr<PendingCall>& call, std::uint32_t id, int timeoutMs) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs > 0 ? timeoutMs : 0);
    s.sideWaiters.push_back(side.wake);
    bool watch = true;
    while (!call->done && callable(s, id)) {
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) break;
        lock.unlock();
        pollfd p[2] = {{side.wake->fd, POLLIN, 0}, {watch ? side.fd : -1, POLLIN, 0}};
        if (poll(p, 2, static_cast<int>(left)) > 0) {
            if (p[0].revents & POLLIN) side.wake->drain();
            // A hung-up or failed descriptor is left to the thread, once the call is over.
            if (p[1].revents & POLLIN)
                watch = side.work();
            else if (p[1].revents)
                watch = false;
        }
        lock.lock();
    }
    for (auto it = s.sideWaiters.begin(); it != s.sideWaiters.end(); ++it) {
        if (*it == side.wake) {
            s.sideWaiters.erase(it);
            break;
        }
    }
}

}  // namespace

SioWaitSideWork::SioWaitSideWork(int fd, std::function<bool()> work) {
    auto* side = new SideWork{fd, std::move(work), std::make_shared<WakeFd>()};
    if (side->fd < 0 || side->wake->fd < 0 || tSideWork) {
        delete side;  // without its descriptors the calls simply wait as before
        return;
    }
    tSideWork = side;
    owns_ = true;
}

SioWaitSideWork::~SioWaitSideWork() {
    if (!owns_) return;
    delete tSideWork;
    tSideWork = nullptr;
}

std::uint32_t SioSafeSync::TakeSlot(SioSyncHandler handler) {
    SyncState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    ensureReceiver(s);
    for (auto& slot : s.table) {
        if (slot.used) continue;
        slot.used = true;
        slot.enabled = false;
        slot.id = s.nextId++;
        slot.handler = std::move(handler);
        return slot.id;
    }
    return 0;
}

void SioSafeSync::EnableSlot(std::uint32_t id, bool enabled) {
    SyncState& s = state();
    std::vector<std::shared_ptr<WakeFd>> waiters;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        if (Slot* slot = findSlot(s, id)) slot->enabled = enabled;
        if (!enabled) waiters = sideWaiters(s);
    }
    // A caller waiting for this slot answers false now instead of at its time-out.
    if (!enabled) {
        s.changed.notify_all();
        kickAll(waiters);
    }
}

void SioSafeSync::ClearSlot(std::uint32_t id) {
    SyncState& s = state();
    SioSyncHandler old;
    std::vector<std::shared_ptr<WakeFd>> waiters;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        if (Slot* slot = findSlot(s, id)) {
            old = std::move(slot->handler);
            *slot = Slot{};
        }
        waiters = sideWaiters(s);
    }
    s.changed.notify_all();
    kickAll(waiters);
}

bool SioSafeSync::Call(std::uint32_t id, const SioSyncMessage& message, int timeoutMs) {
    SyncState& s = state();
    auto call = std::make_shared<PendingCall>();
    std::unique_lock<std::mutex> lock(s.mutex);
    if (!callable(s, id)) return false;
    if (QThread::currentThread() == s.windowThread) {
        lock.unlock();
        Queued item{id, message, call, {}};
        receive(item);
        lock.lock();
        return callable(s, id);
    }
    // A kick left over from an earlier call only costs the wait one more look.
    SideWork* side = tSideWork;
    if (side) call->wake = side->wake;
    if (!enqueue(s, Queued{id, message, call, {}})) return false;
    if (side)
        waitWithSideWork(s, lock, *side, call, id, timeoutMs);
    else
        s.changed.wait_for(lock, std::chrono::milliseconds(timeoutMs > 0 ? timeoutMs : 0),
                           [&] { return call->done || !callable(s, id); });
    return callable(s, id);
}

void SioSafeSync::Post(std::uint32_t id, const SioSyncMessage& message) {
    SyncState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (callable(s, id)) enqueue(s, Queued{id, message, nullptr, {}});
}

void SioSafeSync::PostOnce(std::uint32_t id, const SioSyncMessage& message) {
    SyncState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (!callable(s, id)) return;
    if (!s.queue.empty()) {
        const Queued& last = s.queue.back();
        if (last.id == id && !last.call && !last.work && last.message.kind == message.kind)
            return;
    }
    enqueue(s, Queued{id, message, nullptr, {}});
}

bool SioSafeSync::PostWork(std::function<void()> work) {
    SyncState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    return enqueue(s, Queued{0, {}, nullptr, std::move(work)});
}

}  // namespace keldrin::serial
