#pragma once

// Test doubles of the seams: they record what the program asked for and answer from a script.

#include <QString>
#include <QStringList>
#include <deque>
#include <optional>
#include <utility>
#include <vector>

#include "platform/Seams.h"

namespace keldrin::platform {

struct Tone {
    unsigned frequencyHz;
    unsigned durationMs;
    bool operator==(const Tone& o) const {
        return frequencyHz == o.frequencyHz && durationMs == o.durationMs;
    }
};

class RecordingTones final : public Tones {
  public:
    void beep(unsigned f, unsigned ms) override { played.push_back({f, ms}); }
    // The default beep is recorded as a tone of 0 Hz and 0 ms.
    void messageBeep() override { played.push_back({0, 0}); }
    std::vector<Tone> played;
};

class RecordingBoxes final : public MessageBoxes {
  public:
    struct Box {
        BoxIcon icon;
        QString title;
        QString text;
    };
    void show(BoxIcon icon, const QString& title, const QString& text) override {
        shown.push_back({icon, title, text});
    }
    std::vector<Box> shown;
};

class RecordingAlerts final : public Alerts {
  public:
    struct Alert {
        QString header;
        QString message;
        AlertPicture picture;
        int visibleMs;
    };
    void show(const QString& h, const QString& m, AlertPicture p, int ms) override {
        shown.push_back({h, m, p, ms});
    }
    std::vector<Alert> shown;
};

// Answers each dialog with the next scripted answer; nothing scripted means "cancelled".
class ScriptedDialogs final : public FileDialogs {
  public:
    std::optional<QString> openFile(QWidget*, const FileDialogRequest& r) override {
        return next(r);
    }
    std::optional<QString> saveFile(QWidget*, const FileDialogRequest& r) override {
        return next(r);
    }
    std::deque<std::optional<QString>> answers;
    std::vector<FileDialogRequest> requests;

  private:
    std::optional<QString> next(const FileDialogRequest& r) {
        requests.push_back(r);
        if (answers.empty()) return std::nullopt;
        const bool cancelled = !answers.front().has_value();
        const QString chosen = cancelled ? QString() : *answers.front();
        answers.pop_front();
        if (cancelled) return std::nullopt;
        return chosen;
    }
};

class RecordingSleeper final : public Sleeper {
  public:
    void sleep(unsigned ms) override { total += ms; }
    unsigned long total = 0;
};

class MemoryInstanceStore final : public InstanceStore {
  public:
    QString read(const QString& fallback) override { return value ? *value : fallback; }
    void write(const QString& v) override {
        if (!readOnly) value = v;
    }
    std::optional<QString> value;
    bool readOnly = false;
};

// Installs a full set of doubles for the lifetime of the object, and the real ones afterwards.
struct FakeSeams {
    FakeSeams();
    ~FakeSeams();
    RecordingTones* tones;
    RecordingBoxes* boxes;
    RecordingAlerts* alerts;
    ScriptedDialogs* dialogs;
    RecordingSleeper* sleeper;
    MemoryInstanceStore* store;
};

}  // namespace keldrin::platform
