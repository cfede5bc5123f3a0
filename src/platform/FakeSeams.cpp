#include "platform/FakeSeams.h"

namespace keldrin::platform {

FakeSeams::FakeSeams() {
    auto t = std::make_unique<RecordingTones>();
    auto b = std::make_unique<RecordingBoxes>();
    auto a = std::make_unique<RecordingAlerts>();
    auto d = std::make_unique<ScriptedDialogs>();
    auto s = std::make_unique<RecordingSleeper>();
    auto i = std::make_unique<MemoryInstanceStore>();
    tones = t.get();
    boxes = b.get();
    alerts = a.get();
    dialogs = d.get();
    sleeper = s.get();
    store = i.get();
    setTones(std::move(t));
    setMessageBoxes(std::move(b));
    setAlerts(std::move(a));
    setFileDialogs(std::move(d));
    setSleeper(std::move(s));
    setInstanceStore(std::move(i));
}

FakeSeams::~FakeSeams() {
    setTones(nullptr);
    setMessageBoxes(nullptr);
    setAlerts(nullptr);
    setFileDialogs(nullptr);
    setSleeper(nullptr);
    setInstanceStore(nullptr);
}

}  // namespace keldrin::platform
