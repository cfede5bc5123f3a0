#pragma once

// The hand-off from the serial engine's event thread to the window thread: a call that runs a
// slot's handler on the window thread and blocks the calling thread until the handler has
// returned, the time-out has passed, or the slot was disabled. Calls reach the window thread in
// the order they were made. A disabled slot runs nothing and its calls answer false at once, so a
// window thread that disables the slot and then waits for the event thread never waits on it.

#include <cstdint>
#include <exception>
#include <functional>

namespace keldrin::serial {

// What one hand-off carries. Each call carries its own message, so a call that timed out and is
// run later still delivers its own event.
struct SioSyncMessage {
    int kind = 0;
    std::uint32_t data = 0;
    std::exception_ptr error;
};

using SioSyncHandler = std::function<void(const SioSyncMessage&)>;

class SioSafeSync {
  public:
    static constexpr int kSlotCount = 64;

    // On the window thread. Takes the first free slot, disabled, for the handler; returns its id
    // (the first is 1), or 0 when all slots are taken (calls to 0 never reach anything).
    static std::uint32_t TakeSlot(SioSyncHandler handler);
    static void EnableSlot(std::uint32_t id, bool enabled);
    // Frees the slot; a call still queued for it is dropped.
    static void ClearSlot(std::uint32_t id);
    // From any thread. Runs the handler on the window thread. True when the slot is still
    // enabled afterwards, whether or not the handler finished within `timeoutMs`.
    static bool Call(std::uint32_t id, const SioSyncMessage& message, int timeoutMs);
    // From any thread, without waiting: the slot's handler gets the message on the window
    // thread if the slot is still enabled then.
    static void Post(std::uint32_t id, const SioSyncMessage& message);
    // As Post, but merged: nothing is queued when the last item waiting is a post of the same
    // kind for the same slot (for events that carry nothing but their arrival).
    static void PostOnce(std::uint32_t id, const SioSyncMessage& message);
    // From any thread, without waiting: runs `work` on the window thread. False when there is
    // no window thread to run it (no slot was ever taken).
    static bool PostWork(std::function<void()> work);
};

// While it lives, the calls its thread makes do not wait idle: whenever `fd` is readable during
// a call's wait, `work` runs on that thread and answers whether to go on watching `fd` for this
// call. The serial event thread takes in received bytes this way while the window thread
// handles the previous ones. The call itself keeps its order, its time-out and its answer.
class SioWaitSideWork {
  public:
    SioWaitSideWork(int fd, std::function<bool()> work);
    ~SioWaitSideWork();
    SioWaitSideWork(const SioWaitSideWork&) = delete;
    SioWaitSideWork& operator=(const SioWaitSideWork&) = delete;

  private:
    bool owns_ = false;  // false when the thread had side work already, or no descriptor
};

}  // namespace keldrin::serial
