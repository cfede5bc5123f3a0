#include "platform/Seams.h"

#include <unistd.h>

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>
#include <QSettings>
#include <QStringList>
#include <QThread>
#include <cstdio>

#include "platform/AlsaTones.h"
#include "platform/DesktopAlert.h"

namespace keldrin::platform {

namespace {

bool headless() {
    const QString name = QGuiApplication::platformName();
    return name == QLatin1String("offscreen") || name == QLatin1String("minimal");
}

class QtMessageBoxes final : public MessageBoxes {
  public:
    void show(BoxIcon icon, const QString& title, const QString& text) override {
        // Nobody can answer a modal box without a screen: say it on standard error instead.
        if (headless() || !qobject_cast<QApplication*>(QCoreApplication::instance())) {
            std::fprintf(
                stderr, "%s: %s\n", qPrintable(title),
                qPrintable(QString(text).replace(QLatin1String("\r\n"), " ").simplified()));
            return;
        }
        if (icon == BoxIcon::About) {
            QMessageBox::about(QApplication::activeWindow(), title, text);
            return;
        }
        QMessageBox box(icon == BoxIcon::Error ? QMessageBox::Critical : QMessageBox::Information,
                        title, text, QMessageBox::Ok);
        box.exec();
    }
};

class QtFileDialogs final : public FileDialogs {
  public:
    std::optional<QString> openFile(QWidget* parent, const FileDialogRequest& r) override {
        return run(parent, r, QFileDialog::AcceptOpen);
    }
    std::optional<QString> saveFile(QWidget* parent, const FileDialogRequest& r) override {
        return run(parent, r, QFileDialog::AcceptSave);
    }

  private:
    static std::optional<QString> run(QWidget* parent, const FileDialogRequest& r,
                                      QFileDialog::AcceptMode mode) {
        QFileDialog dialog(parent, r.title);
        dialog.setAcceptMode(mode);
        dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile
                                                           : QFileDialog::AnyFile);
        if (!r.askOverwrite) dialog.setOption(QFileDialog::DontConfirmOverwrite);
        const QStringList filters = qtFilterFromPairs(r.filter).split(QStringLiteral(";;"));
        dialog.setNameFilters(filters);
        if (r.filterIndex >= 1 && r.filterIndex <= filters.size())
            dialog.selectNameFilter(filters.at(r.filterIndex - 1));
        if (!r.initialDir.isEmpty()) dialog.setDirectory(r.initialDir);
        if (!r.fileName.isEmpty()) dialog.selectFile(r.fileName);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return std::nullopt;
        return dialog.selectedFiles().first();
    }
};

class ThreadSleeper final : public Sleeper {
  public:
    void sleep(unsigned ms) override { QThread::msleep(ms); }
};

// The per-user settings store stands where the registry key stood.
class SettingsInstanceStore final : public InstanceStore {
  public:
    QString read(const QString& fallback) override {
        QSettings s(QStringLiteral("Quenlor"), QStringLiteral("Keldrin-"));
        if (s.status() != QSettings::NoError) return fallback;
        const QVariant v = s.value(QStringLiteral("ThisAppInstance"));
        return v.isValid() ? v.toString() : fallback;
    }
    void write(const QString& value) override {
        QSettings s(QStringLiteral("Quenlor"), QStringLiteral("Keldrin-"));
        s.setValue(QStringLiteral("ThisAppInstance"), value);
        s.sync();  // a store that cannot be written is ignored
    }
};

template <typename T>
struct Slot {
    std::unique_ptr<T> current;
    T& get(std::unique_ptr<T> (*make)()) {
        if (!current) current = make();
        return *current;
    }
};

Slot<Tones> gTones;
Slot<MessageBoxes> gBoxes;
Slot<Alerts> gAlerts;
Slot<FileDialogs> gDialogs;
Slot<Sleeper> gSleeper;
Slot<InstanceStore> gStore;
QString gProgramFolder;
QString gChosenFolder;  // programFolder()'s decision, made once
QString gProgramPath;
QString gApplicationTitle = QStringLiteral("Keldrin");

}  // namespace

Tones& tones() {
    return gTones.get([]() -> std::unique_ptr<Tones> { return std::make_unique<AlsaTones>(); });
}
MessageBoxes& messageBoxes() {
    return gBoxes.get(
        []() -> std::unique_ptr<MessageBoxes> { return std::make_unique<QtMessageBoxes>(); });
}
Alerts& alerts() {
    return gAlerts.get(
        []() -> std::unique_ptr<Alerts> { return std::make_unique<DesktopAlerts>(); });
}
FileDialogs& fileDialogs() {
    return gDialogs.get(
        []() -> std::unique_ptr<FileDialogs> { return std::make_unique<QtFileDialogs>(); });
}
Sleeper& sleeper() {
    return gSleeper.get(
        []() -> std::unique_ptr<Sleeper> { return std::make_unique<ThreadSleeper>(); });
}
InstanceStore& instanceStore() {
    return gStore.get([]() -> std::unique_ptr<InstanceStore> {
        return std::make_unique<SettingsInstanceStore>();
    });
}

void setTones(std::unique_ptr<Tones> t) {
    gTones.current = std::move(t);
}
void setMessageBoxes(std::unique_ptr<MessageBoxes> m) {
    gBoxes.current = std::move(m);
}
void setAlerts(std::unique_ptr<Alerts> a) {
    gAlerts.current = std::move(a);
}
void setFileDialogs(std::unique_ptr<FileDialogs> d) {
    gDialogs.current = std::move(d);
}
void setSleeper(std::unique_ptr<Sleeper> s) {
    gSleeper.current = std::move(s);
}
void setInstanceStore(std::unique_ptr<InstanceStore> s) {
    gStore.current = std::move(s);
}

QString ChooseFilesFolder(const QString& keldrinHome, const QString& programDir,
                          bool programDirWritable, const QString& xdgDataHome,
                          const QString& home) {
    // A system folder is never the program's own, not even for root, who may write there.
    const bool systemFolder = programDir.startsWith(QLatin1String("/usr/")) ||
                              programDir == QLatin1String("/bin") ||
                              programDir == QLatin1String("/sbin");
    QString folder;
    if (!keldrinHome.isEmpty())
        folder = keldrinHome;
    else if (programDirWritable && !systemFolder)
        folder = programDir;
    else if (xdgDataHome.startsWith(QLatin1Char('/')))
        folder = xdgDataHome + QStringLiteral("/keldrin");
    else
        folder = home + QStringLiteral("/.local/share/keldrin");
    while (folder.size() > 1 && folder.endsWith(QLatin1Char('/'))) folder.chop(1);
    return folder;
}

QString programFolder() {
    if (!gProgramFolder.isEmpty()) return gProgramFolder;
    if (!gChosenFolder.isEmpty()) return gChosenFolder;
    const QString programDir = QFileInfo(programPath()).absolutePath();
    const bool writable = ::access(QFile::encodeName(programDir).constData(), W_OK) == 0;
    gChosenFolder = ChooseFilesFolder(qEnvironmentVariable("KELDRIN_HOME"), programDir, writable,
                                      qEnvironmentVariable("XDG_DATA_HOME"), QDir::homePath());
    if (gChosenFolder != programDir) QDir().mkpath(gChosenFolder);
    return gChosenFolder;
}

void setProgramFolder(const QString& folder) {
    QString f = folder;
    while (f.size() > 1 && f.endsWith(QLatin1Char('/'))) f.chop(1);
    gProgramFolder = f;
    gChosenFolder.clear();
}

QString applicationTitle() {
    return gApplicationTitle;
}
void setApplicationTitle(const QString& title) {
    gApplicationTitle = title;
}

QString programPath() {
    if (!gProgramPath.isEmpty()) return gProgramPath;
    // The running file itself, whatever name or link it was started by.
    const QString exe = QFile::symLinkTarget(QStringLiteral("/proc/self/exe"));
    return exe.isEmpty() ? QCoreApplication::applicationFilePath() : exe;
}

void setProgramPath(const QString& path) {
    gProgramPath = path;
    gChosenFolder.clear();
}

QString programBaseName() {
    return QFileInfo(programPath()).completeBaseName();
}

void ErrorBox(const QString& text) {
    messageBoxes().show(BoxIcon::Error, applicationTitle(), text);
}

void InfoBox(const QString& text) {
    messageBoxes().show(BoxIcon::Information, applicationTitle(), text);
}

bool isHeadless() {
    return headless();
}

QString qtFilterFromPairs(const QString& pairs) {
    const QStringList parts = pairs.split(QLatin1Char('|'));
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString caption = parts.at(i);
        QString patterns = parts.at(i + 1);
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        // Qt reads the patterns from the parentheses of the caption; give it ours.
        const int paren = caption.indexOf(QLatin1Char('('));
        if (paren >= 0) caption = caption.left(paren).trimmed();
        out << QStringLiteral("%1 (%2)").arg(caption.isEmpty() ? patterns : caption, patterns);
    }
    return out.join(QStringLiteral(";;"));
}

}  // namespace keldrin::platform
