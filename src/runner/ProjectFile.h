#pragma once

// The project file: a `.cmd` profile-string file holding every cell of the command table, the
// send delay and the port's line settings, and the "Load" and "Save" actions that read and write
// it.
//
// Row sections are named by the row number ("1" is the marker row) and hold one key per column,
// named by the column's header text; "Special_Settings" holds "SpinEdit_DelayOnSent" and
// "ComPort_Settings" the line settings as ordinals of the port's setting lists.

#include <QSet>
#include <QString>
#include <functional>

class QLabel;
class QSpinBox;
class QWidget;

namespace keldrin {

class CommandTable;
namespace serial {
class TSioComPort;
}

// The value under `section` / `key` of the file, or `defaultValue` when the key is missing or
// its value is empty. The file's bytes are Latin-1.
QString ReadProjectValue(const QString& fileName, const QString& section, const QString& key,
                         const QString& defaultValue);

// Writes the value, creating the file, the section or the key as needed; false on any failure
// (a value with a line break cannot be stored and fails too). A value with blanks or quotes at
// its ends is written inside double quotes, so that reading it gives it back unchanged.
bool WriteProjectValue(const QString& fileName, const QString& section, const QString& key,
                       const QString& value);

// The file name without its folder and without its extension (from the last "." on).
QString FileTitle(const QString& path);

// What a file dialog remembers from one use to the next; the window settings keep it.
struct FileDialogMemory {
    QString FileName;
    int FilterIndex = 1;  // 1-based
    QString InitialDir;   // kept across runs with the window's settings
};

// What the project actions work on; every pointer and function must be set.
struct ProjectFileParts {
    CommandTable* table = nullptr;  // `StringGrid1`
    QSpinBox* SpinEdit_DelayOnSent = nullptr;
    serial::TSioComPort* SioComPort1 = nullptr;
    std::function<int()> selectedComNumber;  // the port chosen in `SioPortComboBox2`
    QWidget* mainWindow = nullptr;           // its caption names the project
    QLabel* lblCurrentProject = nullptr;
    std::function<bool()> autoRunMode;            // `AutoRunMode`
    std::function<QString()> commandLineProject;  // `CommandLineProject`
    std::function<void()> autoResizeColumns;      // "Auto Resize Columns"
    FileDialogMemory* OpenDialog1 = nullptr;
    FileDialogMemory* SaveDialog1 = nullptr;
};

class ProjectFile {
  public:
    static const QString kOpenFilter;
    static const QString kSaveFilter;
    static constexpr int kProjectFilterIndex = 3;  // "Project File (*.cmd)" in kOpenFilter
    // The most rows a project may have (its row sections run up to [kMaxRows - 1]); a file
    // with content in a section past them is refused whole, before the table changes.
    static constexpr int kMaxRows = 10000;

    explicit ProjectFile(ProjectFileParts parts);

    // "Load": asks for a project (or takes the command line's), fills the table, the delay and
    // the port settings. Cancelling the dialog changes nothing. A delay or port setting that
    // is not a number raises EConvertError with the table already loaded. False when nothing
    // was loaded (the dialog was cancelled, or a load was already running).
    bool ActionOpenCommandSetExecute();
    // "Save": asks for a name and writes the table, the delay and the port settings.
    void ActionSaveCommandSetExecute();
    // Applies the port settings stored in `ProjectFileName` to the port, one by one.
    void ActionReadCommPortSetExecute();

    // "Keldrin=> "<title>" Project (command file)".
    static QString Caption(const QString& projectFileName);

    QString ProjectFileName;  // full name of the current project; empty until loaded or saved
    QString ProjectFolder;    // folder of the last loaded project, without a trailing separator
    // Why the last load stopped half way (a setting that is not a number); empty otherwise.
    QString LoadError;

  private:
    // A whole-number setting of the project; one that does not convert is reported (file,
    // section and key) and raises EConvertError.
    int numberSetting(const QString& section, const QString& key, const QString& defaultValue);
    // The row sections with content: the last of them within the bound, and the first past
    // it (0 when none).
    void scanRowSections(int& lastRow, int& tooFar, QSet<int>& withSection);
    void setCaption();

    ProjectFileParts p_;
    bool busy_ = false;  // a load or save is running (its event pumps may call us again)
};

}  // namespace keldrin
