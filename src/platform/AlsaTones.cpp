#include "platform/AlsaTones.h"

#include <alsa/asoundlib.h>

#include <cmath>
#include <cstdlib>
#include <vector>

namespace keldrin::platform {

namespace {
constexpr unsigned kRate = 22050;

void quietAlsa(const char*, int, const char*, int, const char*, ...) {}
}  // namespace

AlsaTones::AlsaTones() = default;

AlsaTones::~AlsaTones() {
    if (pcm_) snd_pcm_close(static_cast<snd_pcm_t*>(pcm_));
}

bool AlsaTones::ensureOpen() {
    if (pcm_) return true;
    if (unavailable_) return false;
    // Test runs and machines without sound must never block or print ALSA's complaints.
    if (std::getenv("KELDRIN_TEST_SILENT")) {
        unavailable_ = true;
        return false;
    }
    snd_lib_error_set_handler(&quietAlsa);
    snd_pcm_t* pcm = nullptr;
    if (snd_pcm_open(&pcm, "default", SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK) < 0) {
        unavailable_ = true;
        return false;
    }
    snd_pcm_nonblock(pcm, 0);
    if (snd_pcm_set_params(pcm, SND_PCM_FORMAT_S16_LE, SND_PCM_ACCESS_RW_INTERLEAVED, 1, kRate, 1,
                           50000) < 0) {
        snd_pcm_close(pcm);
        unavailable_ = true;
        return false;
    }
    pcm_ = pcm;
    return true;
}

void AlsaTones::beep(unsigned frequencyHz, unsigned durationMs) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (durationMs == 0 || !ensureOpen()) return;
    auto* pcm = static_cast<snd_pcm_t*>(pcm_);
    const size_t frames = size_t(kRate) * durationMs / 1000;
    std::vector<short> wave(frames);
    const double step = 2.0 * M_PI * frequencyHz / kRate;
    for (size_t i = 0; i < frames; ++i) wave[i] = short(9000.0 * std::sin(step * double(i)));
    size_t done = 0;
    while (done < frames) {
        snd_pcm_sframes_t n = snd_pcm_writei(pcm, wave.data() + done, frames - done);
        if (n < 0) n = snd_pcm_recover(pcm, int(n), 1);
        if (n < 0) return;
        done += size_t(n);
    }
    // Synchronous like the platform beep: the tone is over when we return.
    snd_pcm_drain(pcm);
    snd_pcm_prepare(pcm);
}

}  // namespace keldrin::platform
