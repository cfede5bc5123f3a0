#include "runner/ProjectFile.h"

#include <QFileInfo>
#include <QLabel>
#include <QSpinBox>
#include <QWidget>
#include <cstdint>
#include <cstdio>

#include "platform/Convert.h"
#include "platform/Errors.h"
#include "platform/EventPump.h"
#include "platform/ProfileStrings.h"
#include "platform/Seams.h"
#include "runner/CommandTable.h"
#include "serial/SioComPort.h"

namespace keldrin {

namespace {

const QString kSpecialSettings = QStringLiteral("Special_Settings");
const QString kDelayKey = QStringLiteral("SpinEdit_DelayOnSent");
const QString kPortSettings = QStringLiteral("ComPort_Settings");

// A stored setting reaches the port as one byte; a byte past the end of the setting's list
// gives the port's class default, as the port itself would.
template <typename E>
E Ordinal(int stored, int count, E fallback) {
    const int byte = stored & 0xFF;
    return byte < count ? static_cast<E>(byte) : fallback;
}

bool IsRowSectionName(const QByteArray& name, int* row) {
    if (name.isEmpty() || name.size() > 9 || name.front() == '0') return false;
    for (char c : name)
        if (c < '0' || c > '9') return false;
    *row = name.toInt();
    return true;
}

QString WithCmdExtension(const QString& name) {
    const int slash = int(name.lastIndexOf(QLatin1Char('/')));
    const int dot = int(name.lastIndexOf(QLatin1Char('.')));
    return (dot > slash ? name.left(dot) : name) + QStringLiteral(".cmd");
}

// Absolute, so that firmware paths completed with it do not depend on the working folder.
QString FolderOf(const QString& fileName) {
    if (fileName.isEmpty()) return QString();
    QString folder = QFileInfo(fileName).absolutePath();
    while (folder.size() > 1 && folder.endsWith(QLatin1Char('/'))) folder.chop(1);
    return folder;
}

bool IsBlankOrQuote(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\v') ||
           c == QLatin1Char('\f') || c == QLatin1Char('"') || c == QLatin1Char('\'');
}

struct BusyScope {
    explicit BusyScope(bool& flag) : flag_(flag) { flag_ = true; }
    ~BusyScope() { flag_ = false; }
    bool& flag_;
};

}  // namespace

const QString ProjectFile::kOpenFilter = QStringLiteral(
    "HEX and Bin (*.hex;*.bin)|*.hex;*.bin|TEXT (*.txt)|*.txt|Project File (*.cmd)|*.cmd|All "
    "files|*.*");
const QString ProjectFile::kSaveFilter = QStringLiteral("Command Files (*.cmd)|*.cmd|*.*|*.*");

QString ReadProjectValue(const QString& fileName, const QString& section, const QString& key,
                         const QString& defaultValue) {
    const QByteArray value =
        platform::ReadProfileValue(fileName, section.toLatin1(), key.toLatin1()).value_or("");
    return value.isEmpty() ? defaultValue : QString::fromLatin1(value);
}

bool WriteProjectValue(const QString& fileName, const QString& section, const QString& key,
                       const QString& value) {
    QByteArray bytes = value.toLatin1();
    // Reading drops blanks and one pair of quotes around a value; quoting keeps them.
    if (!value.isEmpty() && (IsBlankOrQuote(value.front()) || IsBlankOrQuote(value.back())))
        bytes = '"' + bytes + '"';
    return platform::WriteProfileString(fileName, section.toLatin1(), key.toLatin1(), bytes);
}

QString FileTitle(const QString& path) {
    QString name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot >= 0) name.truncate(dot);
    return name;
}

ProjectFile::ProjectFile(ProjectFileParts parts) : p_(std::move(parts)) {}

QString ProjectFile::Caption(const QString& projectFileName) {
    return QStringLiteral("Keldrin=> \"") + FileTitle(projectFileName) +
           QStringLiteral("\" Project (command file)");
}

void ProjectFile::setCaption() {
    p_.mainWindow->setWindowTitle(Caption(ProjectFileName));
}

void ProjectFile::scanRowSections(int& lastRow, int& tooFar, QSet<int>& withSection) {
    // Rows past the table would otherwise never be read, and so never run.
    CommandTable& table = *p_.table;
    lastRow = 0;
    tooFar = 0;
    for (const QByteArray& name : platform::ProfileSectionNames(ProjectFileName)) {
        int row = 0;
        if (!IsRowSectionName(name, &row)) continue;
        withSection.insert(row);
        if (row <= lastRow || (tooFar > 0 && row >= tooFar)) continue;
        for (int c = colName; c <= colTimeOut; ++c) {
            if (!ReadProjectValue(ProjectFileName, QString::fromLatin1(name), table.cell(c, 0),
                                  QString())
                     .isEmpty()) {
                if (row >= kMaxRows)
                    tooFar = row;
                else
                    lastRow = row;
                break;
            }
        }
    }
}

bool ProjectFile::ActionOpenCommandSetExecute() {
    if (busy_) return false;
    BusyScope busy(busy_);
    CommandTable& table = *p_.table;

    p_.OpenDialog1->FilterIndex = kProjectFilterIndex;

    if (p_.autoRunMode()) {
        p_.OpenDialog1->FileName = p_.commandLineProject();
        ProjectFileName = p_.OpenDialog1->FileName;
    } else {
        platform::FileDialogRequest request;
        request.filter = kOpenFilter;
        request.filterIndex = kProjectFilterIndex;
        request.fileName = p_.OpenDialog1->FileName;
        const std::optional<QString> chosen =
            platform::fileDialogs().openFile(p_.mainWindow, request);
        // Reading the last project again would overwrite the operator's table with it.
        if (!chosen) return false;
        p_.OpenDialog1->FileName = *chosen;
        ProjectFileName = *chosen;
    }
    const QString fileName = ProjectFileName;
    platform::ProfileSession session(fileName);
    int lastRow = 0, tooFar = 0;
    QSet<int> withSection;
    scanRowSections(lastRow, tooFar, withSection);
    if (tooFar > 0) {
        // A typo or a generated file asking for a table this long would take minutes of
        // empty rows before anything useful happens: refused, the table stays as it was.
        LoadError = QStringLiteral(
                        "The project %1 did not load: row [%2] lies past the last "
                        "row a project may have ([%3])")
                        .arg(ProjectFileName)
                        .arg(tooFar)
                        .arg(kMaxRows - 1);
        if (p_.autoRunMode())
            std::fprintf(stderr, "keldrin: %s\n", LoadError.toLocal8Bit().constData());
        else
            platform::ErrorBox(LoadError);
        return false;
    }
    // Only now: a cancelled dialog leaves the operator's table exactly as it was.
    while (table.rowCount() <= 23) table.insertRow(1);
    ProjectFolder = FolderOf(p_.OpenDialog1->FileName);
    if (lastRow + 1 > table.rowCount()) table.setRowCount(lastRow + 1);

    // The pass over row n lies past the table: it is read like the others but not shown. A
    // row without a section reads as empty: only the cells it empties are touched.
    const int n = table.rowCount();
    const auto readCell = [&](int c, int r) {
        if (!withSection.contains(r)) {
            if (r < n && !table.cell(c, r).isEmpty()) table.setCell(c, r, QString());
            return;
        }
        const QString value = ReadProjectValue(fileName, QString::number(r), table.cell(c, 0), {});
        if (r < n) table.setCell(c, r, value);
        PumpEventsIfDue();
    };
    for (int r = 1; r <= n; ++r)
        for (int c = colName; c <= colStatus; ++c) readCell(c, r);
    for (int r = 1; r <= n; ++r) readCell(colTimeOut, r);

    LoadError.clear();
    p_.SpinEdit_DelayOnSent->setValue(
        numberSetting(kSpecialSettings, kDelayKey, QStringLiteral("10")));

    if (p_.SioComPort1->IsOpen()) {
        p_.SioComPort1->Close();
        PumpEvents();
        PumpEvents();
    }
    PumpEvents();
    ActionReadCommPortSetExecute();
    PumpEvents();

    p_.autoResizeColumns();
    PumpEvents();
    p_.autoResizeColumns();
    PumpEvents();

    setCaption();
    p_.lblCurrentProject->setText(FileTitle(ProjectFileName));
    p_.mainWindow->update();
    PumpEvents();
    return true;
}

int ProjectFile::numberSetting(const QString& section, const QString& key,
                               const QString& defaultValue) {
    const QString text = ReadProjectValue(ProjectFileName, section, key, defaultValue);
    try {
        return StrToInt(text);
    } catch (const EConvertError& e) {
        // The load stops here with the table half applied; the operator, or the production
        // line, must know that this project did not load.
        LoadError = QStringLiteral("The project %1 did not load: [%2] %3 is not a number (%4)")
                        .arg(ProjectFileName, section, key, QString::fromLocal8Bit(e.what()));
        if (p_.autoRunMode())
            std::fprintf(stderr, "keldrin: %s\n", LoadError.toLocal8Bit().constData());
        else
            platform::ErrorBox(LoadError);
        throw;
    }
}

void ProjectFile::ActionReadCommPortSetExecute() {
    using namespace serial;
    TSioComPort& port = *p_.SioComPort1;
    // Each setting goes to the port as soon as it is read: a bad one leaves the earlier ones.
    const auto read = [&](const char* key) {
        return numberSetting(kPortSettings, QString::fromLatin1(key), QString());
    };
    port.SetBaudRate(Ordinal(read("ComPort_BaudRate"), brUser + 1, br115200));
    port.SetDatabits(Ordinal(read("ComPort_Databits"), db8 + 1, db8));
    port.SetFlowControl(Ordinal(read("ComPort_FlowControl"), fwDtrDsr + 1, fwNone));
    port.SetParity(Ordinal(read("ComPort_Parity"), paSpace + 1, paNone));
    port.SetStopbits(Ordinal(read("ComPort_Stopbits"), sbTwo + 1, sbOne));
}

void ProjectFile::ActionSaveCommandSetExecute() {
    if (busy_) return;
    BusyScope busy(busy_);
    CommandTable& table = *p_.table;

    platform::FileDialogRequest request;
    request.filter = kSaveFilter;
    request.filterIndex = p_.SaveDialog1->FilterIndex;
    request.fileName = p_.SaveDialog1->FileName;
    request.askOverwrite = true;
    const std::optional<QString> chosen = platform::fileDialogs().saveFile(p_.mainWindow, request);
    if (!chosen) return;
    p_.SaveDialog1->FileName = *chosen;
    ProjectFileName = WithCmdExtension(*chosen);

    const QString fileName = ProjectFileName;
    platform::ProfileSession session(fileName);
    const auto failed = [&] {
        session.commit();  // the file keeps what was written up to the failure
        platform::ErrorBox(QStringLiteral("error saving the file:\r\n\r\n") + fileName);
    };

    // Row n lies past the table and reads as empty: it closes the rows with an empty section.
    const int n = table.rowCount();
    for (int r = 1; r <= n; ++r) {
        for (int c = colName; c < kCommandColumnCount; ++c) {
            if (!WriteProjectValue(fileName, QString::number(r), table.cell(c, 0),
                                   table.cell(c, r))) {
                failed();
                return;
            }
            PumpEvents();
        }
    }
    // Row sections of an older, longer project would come back on the next load.
    for (const QByteArray& name : platform::ProfileSectionNames(fileName)) {
        int row = 0;
        if (IsRowSectionName(name, &row) && row > n) platform::RemoveProfileSection(fileName, name);
    }

    WriteProjectValue(fileName, kSpecialSettings, kDelayKey,
                      QString::number(p_.SpinEdit_DelayOnSent->value()));
    const serial::TSioComPort& port = *p_.SioComPort1;
    const auto writePort = [&](const char* key, int value) {
        WriteProjectValue(fileName, kPortSettings, QString::fromLatin1(key),
                          QString::number(value));
    };
    writePort("ComPort_BaudRate", port.BaudRate());
    writePort("ComPort_Databits", port.Databits());
    writePort("ComPort_FlowControl", port.FlowControl());
    writePort("ComPort_Parity", port.Parity());
    writePort("ComPort_Stopbits", port.Stopbits());
    writePort("ComPort_ComNumber", p_.selectedComNumber());

    if (!session.commit()) {
        platform::ErrorBox(QStringLiteral("error saving the file:\r\n\r\n") + fileName);
        return;
    }
    setCaption();
}

}  // namespace keldrin
