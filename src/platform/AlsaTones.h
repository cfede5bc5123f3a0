#pragma once

#include <mutex>

#include "platform/Seams.h"

namespace keldrin::platform {

// Square-ish sine tones on ALSA's default device, played to the end before returning. When the
// device cannot be opened the tones are dropped at once, and the device is not asked again.
class AlsaTones final : public Tones {
  public:
    AlsaTones();
    ~AlsaTones() override;
    void beep(unsigned frequencyHz, unsigned durationMs) override;
    void messageBeep() override { beep(750, 80); }

  private:
    bool ensureOpen();
    std::mutex mutex_;
    void* pcm_ = nullptr;  // snd_pcm_t*
    bool unavailable_ = false;
};

}  // namespace keldrin::platform
