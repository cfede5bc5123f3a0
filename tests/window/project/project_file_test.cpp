#include <QDir>
#include <QFile>
#include <QLabel>
#include <QSpinBox>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>
#include <optional>
#include <vector>

#include "platform/Errors.h"
#include "platform/FakeSeams.h"
#include "platform/ProfileStrings.h"
#include "runner/CommandTable.h"
#include "runner/ProjectFile.h"
#include "serial/SioComPort.h"

using namespace keldrin;
using namespace keldrin::serial;

class ProjectFileTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<platform::FakeSeams> seams;
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<QWidget> window;
    std::unique_ptr<CommandTable> table;
    std::unique_ptr<TSioComPort> port;
    std::unique_ptr<ProjectFile> project;
    QSpinBox* delay = nullptr;
    QLabel* label = nullptr;
    FileDialogMemory openDialog;
    FileDialogMemory saveDialog;
    bool autoRun = false;
    QString commandLineProject;
    int resizes = 0;
    std::function<void()> onResize;

    QString path(const QString& name) const { return dir->filePath(name); }

    static QByteArray content(const QString& file) {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }

    static void put(const QString& file, const QByteArray& bytes) {
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QCOMPARE(f.write(bytes), bytes.size());
    }

    void load(const QString& file) {
        seams->dialogs->answers.push_back(file);
        project->ActionOpenCommandSetExecute();
    }

    void save(const QString& file) {
        seams->dialogs->answers.push_back(file);
        project->ActionSaveCommandSetExecute();
    }

    // Every cell of rows 1 and on, columns `first` to `last`.
    QStringList cells(int first, int last) const {
        QStringList out;
        for (int r = 1; r < table->rowCount(); ++r)
            for (int c = first; c <= last; ++c) out << table->cell(c, r);
        return out;
    }

    void fillRows(int rows, const QString& prefix) {
        table->setRowCount(rows);
        for (int r = 1; r < rows; ++r)
            for (int c = 0; c < kCommandColumnCount; ++c)
                table->setCell(c, r, QStringLiteral("%1 %2/%3").arg(prefix).arg(c).arg(r));
    }

    static QByteArray emptyRowSection(int r) {
        return "[" + QByteArray::number(r) +
               "]\r\nName=\r\nType=\r\nIssue=\r\nACK_string=\r\nNACK_string=\r\nStatus=\r\n"
               "Time-Out=\r\nReal-Time=\r\n";
    }

  private slots:
    void init() {
        seams = std::make_unique<platform::FakeSeams>();
        dir = std::make_unique<QTemporaryDir>();
        window = std::make_unique<QWidget>();
        window->setWindowTitle(QStringLiteral("Keldrin==> no command file"));
        auto* grid = new QTableWidget(window.get());
        table = std::make_unique<CommandTable>(grid);
        table->writeHeaderRow();
        table->setRowCount(24);
        table->setCell(colName, 1, kMarkerName);
        delay = new QSpinBox(window.get());
        delay->setRange(0, 100000);
        delay->setValue(10);
        label = new QLabel(QStringLiteral("Current Project: <Blank>"), window.get());
        port = std::make_unique<TSioComPort>();
        port->SetBaudRate(br38400);
        port->SetStopbits(sbTwo);
        openDialog = {};
        saveDialog = {};
        autoRun = false;
        commandLineProject.clear();
        resizes = 0;
        onResize = nullptr;

        ProjectFileParts parts;
        parts.table = table.get();
        parts.SpinEdit_DelayOnSent = delay;
        parts.SioComPort1 = port.get();
        parts.selectedComNumber = [] { return 3; };
        parts.mainWindow = window.get();
        parts.lblCurrentProject = label;
        parts.autoRunMode = [this] { return autoRun; };
        parts.commandLineProject = [this] { return commandLineProject; };
        parts.autoResizeColumns = [this] {
            ++resizes;
            if (onResize) onResize();
        };
        parts.OpenDialog1 = &openDialog;
        parts.SaveDialog1 = &saveDialog;
        project = std::make_unique<ProjectFile>(parts);
        window->show();
    }

    void cleanup() {
        project.reset();
        port.reset();
        table.reset();
        window.reset();
        dir.reset();
        seams.reset();
    }

    void saveThenLoadGivesBackEveryCell() {
        // Texts that a careless file format would bend: blanks and quotes at the ends, the
        // layout's own characters, bytes above 127.
        const QStringList texts = {
            QString(),
            QStringLiteral("plain"),
            QStringLiteral("  leading"),
            QStringLiteral("trailing  "),
            QStringLiteral("\"quoted\""),
            QStringLiteral("'single'"),
            QStringLiteral("a=b=c"),
            QStringLiteral(";not a comment"),
            QStringLiteral("[not a section]"),
            QStringLiteral("Gr\u00fc\u00dfe \u00e9t\u00e9"),
            QStringLiteral("tab\tinside"),
            QStringLiteral(" "),
            QStringLiteral("x\""),
            QStringLiteral(":0300000312ABCD5E!^~/"),
        };
        int k = 0;
        for (int r = 1; r < table->rowCount(); ++r)
            for (int c = 0; c < kCommandColumnCount; ++c)
                table->setCell(c, r, texts.at(k++ % texts.size()));
        const QStringList saved = cells(colName, colTimeOut);

        save(path("round.cmd"));
        QVERIFY(seams->boxes->shown.empty());

        for (int r = 1; r < table->rowCount(); ++r) {
            for (int c = 0; c < colRealTime; ++c) table->setCell(c, r, QStringLiteral("junk"));
            table->setCell(colRealTime, r, QString::number(r * 7));
        }
        load(path("round.cmd"));

        QCOMPARE(table->rowCount(), 24);
        QCOMPARE(cells(colName, colTimeOut), saved);
        for (int r = 1; r < table->rowCount(); ++r)
            QCOMPARE(table->cell(colRealTime, r), QString::number(r * 7));
    }

    void aNewFileHasTheRowsThenAnEmptySectionThenTheSettings() {
        table->setRowCount(4);
        const QStringList erase = {"Erase", "Command", "E!", "OK", "ERR", "OK", "5", "0"};
        for (int c = 0; c < kCommandColumnCount; ++c) table->setCell(c, 2, erase.at(c));
        delay->setValue(25);
        port->SetBaudRate(br38400);
        port->SetDatabits(db8);
        port->SetFlowControl(fwRtsCts);
        port->SetParity(paEven);
        port->SetStopbits(sbTwo);
        saveDialog.FilterIndex = 2;

        save(path("board.cmd"));

        QCOMPARE(content(path("board.cmd")),
                 QByteArray("[1]\r\nName=<=>\r\nType=\r\nIssue=\r\nACK_string=\r\nNACK_string=\r\n"
                            "Status=\r\nTime-Out=\r\nReal-Time=\r\n"
                            "[2]\r\nName=Erase\r\nType=Command\r\nIssue=E!\r\nACK_string=OK\r\n"
                            "NACK_string=ERR\r\nStatus=OK\r\nTime-Out=5\r\nReal-Time=0\r\n") +
                     emptyRowSection(3) + emptyRowSection(4) +
                     "[Special_Settings]\r\nSpinEdit_DelayOnSent=25\r\n"
                     "[ComPort_Settings]\r\nComPort_BaudRate=9\r\nComPort_Databits=4\r\n"
                     "ComPort_FlowControl=2\r\nComPort_Parity=2\r\nComPort_Stopbits=2\r\n"
                     "ComPort_ComNumber=3\r\n");

        QCOMPARE(seams->dialogs->requests.size(), size_t(1));
        const platform::FileDialogRequest& asked = seams->dialogs->requests.front();
        QCOMPARE(asked.filter, QStringLiteral("Command Files (*.cmd)|*.cmd|*.*|*.*"));
        QCOMPARE(asked.filterIndex, 2);
        QVERIFY(asked.askOverwrite);
        QCOMPARE(window->windowTitle(),
                 QStringLiteral("Keldrin=> \"board\" Project (command file)"));
        // A save names the project in the caption only.
        QCOMPARE(label->text(), QStringLiteral("Current Project: <Blank>"));
        QCOMPARE(project->ProjectFolder, QString());
        QCOMPARE(project->ProjectFileName, path("board.cmd"));
        QCOMPARE(saveDialog.FileName, path("board.cmd"));
    }

    void loadingSetsCaptionLabelFolderAndSizesTheColumns() {
        put(path("board.rev.cmd"),
            "[2]\r\nName=n\r\n[Special_Settings]\r\n"
            "[ComPort_Settings]\r\nComPort_BaudRate=9\r\n"
            "ComPort_Databits=4\r\nComPort_FlowControl=0\r\n"
            "ComPort_Parity=0\r\nComPort_Stopbits=2\r\n");
        openDialog.FileName = path("last.cmd");
        delay->setValue(77);
        load(path("board.rev.cmd"));

        const platform::FileDialogRequest& asked = seams->dialogs->requests.front();
        QCOMPARE(asked.filter, QStringLiteral("HEX and Bin (*.hex;*.bin)|*.hex;*.bin|TEXT "
                                              "(*.txt)|*.txt|Project File (*.cmd)|*.cmd|All "
                                              "files|*.*"));
        QCOMPARE(asked.filterIndex, 3);
        QCOMPARE(asked.fileName, path("last.cmd"));
        QCOMPARE(openDialog.FilterIndex, 3);
        QCOMPARE(openDialog.FileName, path("board.rev.cmd"));
        QCOMPARE(project->ProjectFileName, path("board.rev.cmd"));
        QCOMPARE(project->ProjectFolder, QDir(dir->path()).absolutePath());
        QCOMPARE(table->cell(colName, 1), QString());  // the file has no marker row section
        QCOMPARE(table->cell(colName, 2), QStringLiteral("n"));
        QCOMPARE(delay->value(), 10);  // no delay key: the default
        QCOMPARE(resizes, 2);
        QCOMPARE(window->windowTitle(),
                 QStringLiteral("Keldrin=> \"board.rev\" Project (command file)"));
        QCOMPARE(label->text(), QStringLiteral("board.rev"));
    }

    void fileTitleDropsFolderAndLastExtension() {
        const struct {
            const char* path;
            const char* title;
        } cases[] = {
            {"/work/p/board.rev.cmd", "board.rev"},
            {"board.cmd", "board"},
            {"/a.b/board", "board"},
            {"/a/board.", "board"},
            {"", ""},
            {"/a/b/", ""},
        };
        for (const auto& c : cases) QCOMPARE(FileTitle(QString::fromLatin1(c.path)), c.title);
    }

    void cancellingTheOpenDialogChangesNothing() {
        // Before any project: a short table with unsaved work.
        fillRows(5, QStringLiteral("mine"));
        delay->setValue(33);
        const QStringList before = cells(0, 7);
        project->ActionOpenCommandSetExecute();  // nothing scripted: the operator cancels
        QCOMPARE(seams->dialogs->requests.size(), size_t(1));
        QCOMPARE(table->rowCount(), 5);
        QCOMPARE(cells(0, 7), before);
        QCOMPARE(delay->value(), 33);
        QCOMPARE(project->ProjectFileName, QString());
        QCOMPARE(window->windowTitle(), QStringLiteral("Keldrin==> no command file"));
        QCOMPARE(resizes, 0);

        // After a load: edits since then stay, and the port keeps what the operator chose.
        save(path("p.cmd"));
        load(path("p.cmd"));
        table->setCell(colIssue, 2, QStringLiteral("edited"));
        port->SetBaudRate(br9600);
        project->ActionOpenCommandSetExecute();
        QCOMPARE(table->cell(colIssue, 2), QStringLiteral("edited"));
        QCOMPARE(port->BaudRate(), br9600);
        QCOMPARE(project->ProjectFileName, path("p.cmd"));
    }

    void loadingGrowsTheTableToHoldEveryRowOfTheFile() {
        fillRows(41, QStringLiteral("row"));
        save(path("long.cmd"));
        table->setRowCount(24);
        for (int r = 1; r < 24; ++r) table->setCell(colName, r, QString());
        load(path("long.cmd"));
        QCOMPARE(table->rowCount(), 41);
        QCOMPARE(table->cell(colName, 40), QStringLiteral("row 0/40"));
        QCOMPARE(table->cell(colTimeOut, 40), QStringLiteral("row 6/40"));

        // Written by hand, without the closing empty section: row 30 is the last with content.
        // Numbers no save writes ("007") do not grow it.
        QByteArray text;
        for (int r = 1; r <= 30; ++r) text += "[" + QByteArray::number(r) + "]\nIssue=i\n";
        text += "[007]\nName=x\n[31]\nReal-Time=9\n[Other]\nName=o\n";
        put(path("hand.cmd"), text);
        table->setRowCount(24);
        // Without port settings the load ends in an error after the table is read.
        QVERIFY_THROWS_EXCEPTION(EConvertError, load(path("hand.cmd")));
        QCOMPARE(table->rowCount(), 31);
        QCOMPARE(table->cell(colIssue, 30), QStringLiteral("i"));

        // A short table is brought to 24 rows by inserting rows at row 1.
        table->setRowCount(3);
        table->setCell(colRealTime, 2, QStringLiteral("kept"));
        put(path("short.cmd"), "[2]\nName=two\n");
        QVERIFY_THROWS_EXCEPTION(EConvertError, load(path("short.cmd")));
        QCOMPARE(table->rowCount(), 24);
        QCOMPARE(table->cell(colName, 2), QStringLiteral("two"));
        QCOMPARE(table->cell(colRealTime, 23), QStringLiteral("kept"));
    }

    // A row section past the bound ([99999], a typo or a generated file) is refused whole with
    // a message that names it, before the table changes; an empty one past it asks for nothing.
    void aRowSectionPastTheLastRowRefusesTheLoad() {
        fillRows(3, QStringLiteral("mine"));
        const QStringList before = cells(colName, colTimeOut);
        const int rows = table->rowCount();
        put(path("far.cmd"), "[1]\nName=<=>\n[2]\nName=two\n[99999]\nIssue=far\n[100000]\n");
        seams->boxes->shown.clear();
        load(path("far.cmd"));
        QCOMPARE(seams->boxes->shown.size(), size_t(1));
        QCOMPARE(seams->boxes->shown.front().text,
                 QStringLiteral("The project %1 did not load: row [99999] lies past the last row "
                                "a project may have ([9999])")
                     .arg(path("far.cmd")));
        QCOMPARE(project->LoadError, seams->boxes->shown.front().text);
        QCOMPARE(table->rowCount(), rows);
        QCOMPARE(cells(colName, colTimeOut), before);

        // The last row a project may have loads.
        put(path("last.cmd"), "[9999]\nName=last\n[10000]\n");
        QVERIFY_THROWS_EXCEPTION(EConvertError, load(path("last.cmd")));  // no port settings
        QCOMPARE(table->rowCount(), 10000);
        QCOMPARE(table->cell(colName, 9999), QStringLiteral("last"));
        QCOMPARE(table->cell(colName, 2), QString());
    }

    void savingDropsRowSectionsPastTheTableAndKeepsEverythingElse() {
        QByteArray old = "; project notes\r\n";
        for (int r = 1; r <= 60; ++r)
            old += "[" + QByteArray::number(r) + "]\r\nName=old " + QByteArray::number(r) +
                   "\r\nExtra=mine\r\n";
        old +=
            "[Special_Settings]\r\n; delay in ms\r\nSpinEdit_DelayOnSent=10\r\nOwn=1\r\n"
            "[Foreign]\r\nTool=other\r\n";
        put(path("over.cmd"), old);

        fillRows(40, QStringLiteral("new"));
        delay->setValue(50);
        save(path("over.cmd"));

        const QByteArray now = content(path("over.cmd"));
        QVERIFY(now.startsWith("; project notes\r\n[1]\r\nName=new 0/1\r\nExtra=mine\r\nType="));
        QVERIFY(now.contains(emptyRowSection(40).replace("Name=\r\n", "Name=\r\nExtra=mine\r\n")));
        QVERIFY(
            now.contains("[Special_Settings]\r\n; delay in ms\r\nSpinEdit_DelayOnSent=50\r\n"
                         "Own=1\r\n[Foreign]\r\nTool=other\r\n[ComPort_Settings]\r\n"));
        QByteArrayList expected;
        for (int r = 1; r <= 40; ++r) expected << QByteArray::number(r);
        expected << "Special_Settings"
                 << "Foreign"
                 << "ComPort_Settings";
        QCOMPARE(platform::ProfileSectionNames(path("over.cmd")), expected);

        // A larger table loads the rows past the saved ones as empty.
        table->setRowCount(70);
        for (int r = 1; r < 70; ++r) table->setCell(colName, r, QStringLiteral("stale"));
        load(path("over.cmd"));
        QCOMPARE(table->rowCount(), 70);
        QCOMPARE(table->cell(colName, 39), QStringLiteral("new 0/39"));
        for (int r = 40; r < 70; ++r) QCOMPARE(table->cell(colName, r), QString());
    }

    void aHandWrittenProjectLoads() {
        put(path("hand.cmd"),
            "; made in an editor\n"
            "[1]\n"
            "name = <=>\n"
            "  [ 2 ]\n"
            " NAME =   Erase flash  \n"
            "TYPE=\tCommand\n"
            "issue=\"E!\"\n"
            "ack_STRING = 'OK'\n"
            "Nack_String=ERR\n"
            "status=\n"
            "time-out = 5\n"
            "[special_settings]\n"
            "spinedit_delayonsent = 25\n"
            "[COMPORT_SETTINGS]\n"
            "ComPort_BaudRate = 12\n"
            "comport_databits=3\n"
            "ComPort_FlowControl='1'\n"
            "ComPort_Parity=\"4\"\n"
            "ComPort_Stopbits=1");
        load(path("hand.cmd"));
        QCOMPARE(table->cell(colName, 1), QStringLiteral("<=>"));
        const QStringList row2 = {"Erase flash", "Command", "E!", "OK", "ERR", "", "5"};
        for (int c = 0; c < 7; ++c) QCOMPARE(table->cell(c, 2), row2.at(c));
        QCOMPARE(delay->value(), 25);
        QCOMPARE(port->BaudRate(), br115200);
        QCOMPARE(port->Databits(), db7);
        QCOMPARE(port->FlowControl(), fwXOnXOff);
        QCOMPARE(port->Parity(), paSpace);
        QCOMPARE(port->Stopbits(), sbOneAndHalf);
        QCOMPARE(label->text(), QStringLiteral("hand"));
    }

    void aSettingThatIsNotANumberStopsTheLoad() {
        const struct {
            const char* settings;
            const char* message;
            int delay;
            TSioBaudrate baud;
            TSioDatabits databits;
        } cases[] = {
            // The delay fails before any port setting is read.
            {"[Special_Settings]\nSpinEdit_DelayOnSent=ten\n[ComPort_Settings]\nComPort_"
             "BaudRate=6\n",
             "'ten' is not a valid integer value", 44, br38400, db5},
            // Settings go to the port one by one: the baud rate is in before the data bits fail.
            {"[Special_Settings]\nSpinEdit_DelayOnSent=$20\n[ComPort_Settings]\nComPort_"
             "BaudRate=6\nComPort_Databits=eight\nComPort_Parity=2\n",
             "'eight' is not a valid integer value", 32, br9600, db5},
            {"[ComPort_Settings]\nComPort_BaudRate=-0\n", "'' is not a valid integer value", 10,
             br110, db5},
            {"[ComPort_Settings]\nComPort_BaudRate=99999999999\n",
             "'99999999999' is not a valid integer value", 10, br38400, db5},
        };
        for (const auto& c : cases) {
            put(path("bad.cmd"), QByteArray("[2]\nName=loaded\n") + c.settings);
            table->setCell(colName, 2, QString());
            delay->setValue(44);
            port->SetBaudRate(br38400);
            port->SetDatabits(db5);
            resizes = 0;
            window->setWindowTitle(QStringLiteral("before"));
            label->setText(QStringLiteral("before"));
            QString message;
            try {
                load(path("bad.cmd"));
            } catch (const EConvertError& e) {
                message = QString::fromStdString(e.what());
            }
            QCOMPARE(message, QString::fromLatin1(c.message));
            QCOMPARE(table->cell(colName, 2), QStringLiteral("loaded"));
            QCOMPARE(delay->value(), c.delay);
            QCOMPARE(port->BaudRate(), c.baud);
            QCOMPARE(port->Databits(), c.databits);
            QCOMPARE(port->Parity(), paNone);
            QCOMPARE(resizes, 0);
            QCOMPARE(window->windowTitle(), QStringLiteral("before"));
            QCOMPARE(label->text(), QStringLiteral("before"));
        }
    }

    void portSettingsOutsideTheirListsGiveThePortDefaults() {
        // One byte reaches the port: 260 is 4 (db8), 300 is 44, past every list.
        put(path("odd.cmd"),
            "[ComPort_Settings]\nComPort_BaudRate=16\nComPort_Databits=260\n"
            "ComPort_FlowControl=300\nComPort_Parity=-1\nComPort_Stopbits=0x2\n");
        port->SetDatabits(db5);
        port->SetFlowControl(fwRtsCts);
        port->SetParity(paOdd);
        load(path("odd.cmd"));
        QCOMPARE(port->BaudRate(), br115200);
        QCOMPARE(port->Databits(), db8);
        QCOMPARE(port->FlowControl(), fwNone);
        QCOMPARE(port->Parity(), paNone);
        QCOMPARE(port->Stopbits(), sbTwo);
    }

    void savingGivesTheNameTheCmdExtension() {
        const struct {
            const char* chosen;
            const char* written;
        } cases[] = {
            {"notes.txt", "notes.cmd"},
            {"plain", "plain.cmd"},
            {"UPPER.CMD", "UPPER.cmd"},
            {"a.b/inner", "a.b/inner.cmd"},
        };
        QVERIFY(QDir(dir->path()).mkdir("a.b"));
        for (const auto& c : cases) {
            save(path(QString::fromLatin1(c.chosen)));
            QCOMPARE(project->ProjectFileName, path(QString::fromLatin1(c.written)));
            QCOMPARE(saveDialog.FileName, path(QString::fromLatin1(c.chosen)));
            QVERIFY(QFile::exists(path(QString::fromLatin1(c.written))));
        }
        QVERIFY(!QFile::exists(path("notes.txt")));
        QVERIFY(!QFile::exists(path("plain")));
    }

    void aFailedSaveShowsTheErrorBoxAndStops() {
        const QString unwritable = path("missing/folder/p.cmd");
        save(unwritable);
        QCOMPARE(seams->boxes->shown.size(), size_t(1));
        QCOMPARE(seams->boxes->shown.front().icon, platform::BoxIcon::Error);
        QCOMPARE(seams->boxes->shown.front().text,
                 QStringLiteral("error saving the file:\r\n\r\n") + unwritable);
        QCOMPARE(window->windowTitle(), QStringLiteral("Keldrin==> no command file"));

        // A cell with a line break would split into lines of their own: the save stops there,
        // keeping the rows before it.
        table->setCell(colIssue, 3, QStringLiteral("two\nlines"));
        save(path("broken.cmd"));
        QCOMPARE(seams->boxes->shown.size(), size_t(2));
        QCOMPARE(seams->boxes->shown.back().text,
                 QStringLiteral("error saving the file:\r\n\r\n") + path("broken.cmd"));
        const QByteArray written = content(path("broken.cmd"));
        QVERIFY(written.endsWith("[3]\r\nName=\r\nType=\r\n"));
        QVERIFY(!written.contains("Special_Settings"));
        QCOMPARE(window->windowTitle(), QStringLiteral("Keldrin==> no command file"));

        seams->boxes->shown.clear();
        project->ActionSaveCommandSetExecute();  // cancelled
        QVERIFY(seams->boxes->shown.empty());
    }

    void anUnattendedLoadTakesTheCommandLineProject() {
        QVERIFY(QDir(dir->path()).mkdir("line"));
        put(path("line/job.cmd"),
            "[2]\r\nName=job\r\n[ComPort_Settings]\r\nComPort_BaudRate=6\r\n"
            "ComPort_Databits=4\r\nComPort_FlowControl=0\r\n"
            "ComPort_Parity=0\r\nComPort_Stopbits=0\r\n");
        autoRun = true;
        // Started as `keldrin 3 line/job.cmd` from the temporary folder.
        const QString cwd = QDir::currentPath();
        QDir::setCurrent(dir->path());
        commandLineProject = QStringLiteral("line/job.cmd");
        project->ActionOpenCommandSetExecute();
        QDir::setCurrent(cwd);
        QVERIFY(seams->dialogs->requests.empty());
        QCOMPARE(project->ProjectFileName, QStringLiteral("line/job.cmd"));
        QCOMPARE(openDialog.FileName, QStringLiteral("line/job.cmd"));
        QCOMPARE(project->ProjectFolder, QDir(path("line")).absolutePath());
        QCOMPARE(table->cell(colName, 2), QStringLiteral("job"));
        QCOMPARE(port->BaudRate(), br9600);
    }

    void aLoadOrSaveStartedInsideAnotherIsIgnored() {
        put(path("p.cmd"),
            "[ComPort_Settings]\nComPort_BaudRate=9\nComPort_Databits=4\n"
            "ComPort_FlowControl=0\nComPort_Parity=0\nComPort_Stopbits=2\n");
        // The resize step runs inside the load, where event pumps could deliver a click.
        onResize = [this] {
            project->ActionSaveCommandSetExecute();
            project->ActionOpenCommandSetExecute();
        };
        load(path("p.cmd"));
        QCOMPARE(seams->dialogs->requests.size(), size_t(1));
        QCOMPARE(label->text(), QStringLiteral("p"));
    }
};

QTEST_MAIN(ProjectFileTest)
#include "project_file_test.moc"
