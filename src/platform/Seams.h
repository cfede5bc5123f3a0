#pragma once

// The places where the program meets the desktop and the user: tones, modal boxes, desktop
// alerts, file dialogs, sleeping, the running-instance store and the program's folder. Each has
// a real implementation that the program uses and can be swapped for a double in tests.

#include <QString>
#include <memory>
#include <optional>

class QWidget;

namespace keldrin::platform {

class Tones {
  public:
    virtual ~Tones() = default;
    // Plays one tone and returns when it is over (silently at once without a sound device).
    virtual void beep(unsigned frequencyHz, unsigned durationMs) = 0;
    // The desktop's default notification beep.
    virtual void messageBeep() = 0;
};

// About: the program's own box of its name and version, with the program's icon.
enum class BoxIcon { Error, Information, About };

class MessageBoxes {
  public:
    virtual ~MessageBoxes() = default;
    // Modal box with one OK button; returns when it is answered.
    virtual void show(BoxIcon icon, const QString& title, const QString& text) = 0;
};

enum class AlertPicture { Information, Warning, Error };

class Alerts {
  public:
    virtual ~Alerts() = default;
    // Frameless notice at the bottom right of the screen that never takes the focus.
    virtual void show(const QString& header, const QString& message, AlertPicture picture,
                      int visibleMs) = 0;
};

struct FileDialogRequest {
    QString title;
    // Filter in the "Text (*.a;*.b)|*.a;*.b|All|*.*" form, pairs of caption and patterns.
    QString filter;
    int filterIndex = 1;  // 1-based, as the filter pairs are counted
    QString fileName;     // proposed or last file
    QString initialDir;   // folder the dialog starts in when no file is proposed
    bool askOverwrite = false;
};

class FileDialogs {
  public:
    virtual ~FileDialogs() = default;
    // The chosen file, or nothing when the user cancelled.
    virtual std::optional<QString> openFile(QWidget* parent, const FileDialogRequest& request) = 0;
    virtual std::optional<QString> saveFile(QWidget* parent, const FileDialogRequest& request) = 0;
};

class Sleeper {
  public:
    virtual ~Sleeper() = default;
    virtual void sleep(unsigned ms) = 0;
};

// Where the number of running instances is kept between processes.
class InstanceStore {
  public:
    virtual ~InstanceStore() = default;
    // The stored text, or `fallback` when nothing is stored or the store cannot be read.
    virtual QString read(const QString& fallback) = 0;
    // Stores the text; a store that cannot be written is ignored.
    virtual void write(const QString& value) = 0;
};

Tones& tones();
MessageBoxes& messageBoxes();
Alerts& alerts();
FileDialogs& fileDialogs();
Sleeper& sleeper();
InstanceStore& instanceStore();

// Swap a seam; passing nullptr puts the real implementation back.
void setTones(std::unique_ptr<Tones> t);
void setMessageBoxes(std::unique_ptr<MessageBoxes> m);
void setAlerts(std::unique_ptr<Alerts> a);
void setFileDialogs(std::unique_ptr<FileDialogs> d);
void setSleeper(std::unique_ptr<Sleeper> s);
void setInstanceStore(std::unique_ptr<InstanceStore> s);

// The folder where the program keeps its files (settings, run summaries, capture logs, the error
// log and its screenshots, the port map), without a trailing slash. The one place that decides
// it: the folder named by KELDRIN_HOME when that is set; else the program's own folder when it
// can be written to (a build tree, a copy in the user's folder) and is not a system folder
// (/usr/..., /bin, /sbin); else $XDG_DATA_HOME/keldrin (~/.local/share/keldrin), created on
// first use.
QString programFolder();
void setProgramFolder(const QString& folder);  // empty: back to the real one
// The rule above as a pure function; `xdgDataHome` is ignored unless it is an absolute path.
QString ChooseFilesFolder(const QString& keldrinHome, const QString& programDir,
                          bool programDirWritable, const QString& xdgDataHome, const QString& home);
// Full path of the running program file (/proc/self/exe), and its name without extension.
QString programPath();
void setProgramPath(const QString& path);  // empty: back to the real one
QString programBaseName();

// The application title: "Keldrin" at start, "Keldrin-Comm<N>" while port N is open. Log file
// names are made from it.
QString applicationTitle();
void setApplicationTitle(const QString& title);

// Convenience forms used all over the program.
inline void Beep(unsigned frequencyHz, unsigned durationMs) {
    tones().beep(frequencyHz, durationMs);
}
inline void MessageBeep() {
    tones().messageBeep();
}
inline void Sleep(unsigned ms) {
    sleeper().sleep(ms);
}
void ErrorBox(const QString& text);
void InfoBox(const QString& text);

// True on a platform without a screen (offscreen), where nobody can answer a dialog.
bool isHeadless();

// "Caption (*.a;*.b)|*.a;*.b|..." to Qt's "Caption (*.a *.b);;..." form.
QString qtFilterFromPairs(const QString& pairs);

}  // namespace keldrin::platform
