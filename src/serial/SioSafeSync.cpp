#include "serial/SioSafeSync.h"

#include <QCoreApplication>
#include <QObject>
#include <QPointer>
#include <QThread>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "platform/Guard.h"

namespace keldrin::serial {

namespace {

struct Slot {
    bool used = false;
    bool enabled = false;
    std::uint32_t id = 0;
    SioSyncHandler handler;
};

struct PendingCall {
    bool done = false;  // guarded by the hand-off's mutex
};

struct SyncState {
    std::mutex mutex;
    std::condition_variable changed;
    Slot table[SioSafeSync::kSlotCount];
    std::uint32_t nextId = 1;
    QPointer<QObject> receiver;  // lives on the window thread
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
void receive(std::uint32_t id, const SioSyncMessage& message,
             const std::shared_ptr<PendingCall>& call) {
    SyncState& s = state();
    SioSyncHandler handler;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        if (callable(s, id)) handler = findSlot(s, id)->handler;
    }
    if (handler) guarded("SioSafeSync", [&] { handler(message); });
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        call->done = true;
    }
    s.changed.notify_all();
}

}  // namespace

std::uint32_t SioSafeSync::TakeSlot(SioSyncHandler handler) {
    SyncState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (!s.receiver) {
        auto* app = QCoreApplication::instance();
        s.receiver = new QObject(app);
        s.receiver->setObjectName(QStringLiteral("SioSafeSyncObjWnd"));
    }
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
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        if (Slot* slot = findSlot(s, id)) slot->enabled = enabled;
    }
    // A caller waiting for this slot answers false now instead of at its time-out.
    if (!enabled) s.changed.notify_all();
}

void SioSafeSync::ClearSlot(std::uint32_t id) {
    SyncState& s = state();
    SioSyncHandler old;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        if (Slot* slot = findSlot(s, id)) {
            old = std::move(slot->handler);
            *slot = Slot{};
        }
    }
    s.changed.notify_all();
}

bool SioSafeSync::Call(std::uint32_t id, const SioSyncMessage& message, int timeoutMs) {
    SyncState& s = state();
    QPointer<QObject> receiver;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        if (!callable(s, id)) return false;
        receiver = s.receiver;
    }
    if (!receiver) return false;
    auto call = std::make_shared<PendingCall>();
    if (QThread::currentThread() == receiver->thread()) {
        receive(id, message, call);
    } else {
        QMetaObject::invokeMethod(
            receiver.data(), [id, message, call] { receive(id, message, call); },
            Qt::QueuedConnection);
        std::unique_lock<std::mutex> lock(s.mutex);
        s.changed.wait_for(lock, std::chrono::milliseconds(timeoutMs > 0 ? timeoutMs : 0),
                           [&] { return call->done || !callable(s, id); });
    }
    std::lock_guard<std::mutex> lock(s.mutex);
    return callable(s, id);
}

}  // namespace keldrin::serial
