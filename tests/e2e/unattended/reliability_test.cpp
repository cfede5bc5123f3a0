// A production line trusts the exit status and the run summary. These runs of the built program
// end badly in every way we know of, and each must say so: a board that was never programmed,
// a wrong image, an unreadable file, a signal, an error in a handler.

#include <fcntl.h>
#include <sys/file.h>

#include <QImage>
#include <QSettings>

#include "UnattendedFixture.h"

using keldrin::testkit::readAll;

namespace {

constexpr int kNobody = 65534;

// Who, erase, the firmware and the device's checksum report; `extra` rows follow.
std::vector<Row> flashRows(const char* fwType, std::vector<Row> extra = {}) {
    std::vector<Row> rows{{"who", "Command", "ID!", "OK", "ERR", "2"},
                          {"erase", "Command", "E!", "OK", "ERR", "2"},
                          {"flash", fwType, "/board.hex", "OK", "ERR", "2"}};
    rows.insert(rows.end(), extra.begin(), extra.end());
    return rows;
}

}  // namespace

// After a passing run, a run on the same port while another program holds it: the summary
// reads the open error, not the earlier "OK", and the run could not start.
TEST_F(Unattended, AHeldPortNeverLeavesAnEarlierVerdict) {
    auto& dev = device(31);
    const std::string project = exampleProject().toStdString();
    ASSERT_EQ(run({"31", project}).exitCode, 0);
    ASSERT_EQ(readAll(summaryPath(31)), QByteArray("\r\nOK\r\nCalculated CHECKSUM:7B5F\r\n"));
    const int holder = ::open(dev.devicePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(flock(holder, LOCK_EX | LOCK_NB), 0);
    const Result r = run({"31", project});
    ::close(holder);
    EXPECT_EQ(r.exitCode, 2) << r.err;
    EXPECT_EQ(readAll(summaryPath(31)),
              QByteArray("\r\nCan't open device COM31\r\nDevice Reported=>: \r\n"));
}

// A port number with no device behind it.
TEST_F(Unattended, APortWithNoDeviceSaysSoInItsSummary) {
    writeFile(QString::fromStdString(ports),
              "COM32=" + dir.filePath("unplugged").toLocal8Bit() + "\n");
    const Result r = run({"32", exampleProject().toStdString()});
    EXPECT_EQ(r.exitCode, 2) << r.err;
    EXPECT_EQ(readAll(summaryPath(32)),
              QByteArray("\r\nInvalid port number (COM32)\r\nDevice Reported=>: \r\n"));
}

// A firmware file that is there but cannot be read never goes out as an empty file: a "File"
// row is refused by the load's check (the run cannot start), a "File_BINary" row fails when
// the run reaches it.
TEST_F(Unattended, AnUnreadableFirmwareFileFails) {
    struct Case {
        const char* type;
        const char* unreadable;
        int exitCode;
        QByteArray summaryLine;
    };
    const std::vector<Case> cases{
        {"File", "board.hex", 2, QByteArray()},
        {"File_BINary", "board.hex", 1, "file not readable"},
        {"File_BINary", "board.chk", 1, "file not readable"},
    };
    int com = 33;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.type) + " " + c.unreadable);
        auto& dev = device(com);
        exampleProject();
        const QString project = dir.filePath("unreadable.cmd");
        writeFile(project, projectText(flashRows(c.type)));
        // Root reads everything: the program then runs as an ordinary user.
        const int uid = geteuid() == 0 ? kNobody : -1;
        if (uid >= 0) {
            chmod(dir.path().toLocal8Bit().constData(), 0777);
            chmod(program.toLocal8Bit().constData(), 0755);
            chmod(dev.devicePath().c_str(), 0666);
            for (const char* f :
                 {"board.cmd", "board.hex", "board.chk", "unreadable.cmd", "Keldrin.ports"})
                chmod(dir.filePath(f).toLocal8Bit().constData(), 0644);
        }
        ASSERT_EQ(chmod(dir.filePath(c.unreadable).toLocal8Bit().constData(), 0), 0);
        const Result r = run({std::to_string(com), project.toStdString()}, 60, uid);
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
        EXPECT_NE(r.err.find("Cannot open " + dir.filePath(c.unreadable).toStdString()),
                  std::string::npos)
            << r.err;
        if (!c.summaryLine.isEmpty()) {
            EXPECT_EQ(readAll(summaryPath(com)),
                      "\r\n" + c.summaryLine + "\r\nDevice Reported=>: \r\n");
        }
        for (const char* f : {"board.cmd", "board.hex", "board.chk"})
            QFile::remove(dir.filePath(f));
        ++com;
    }
}

// Bad boards: each run ends with its failing status and exit status 1.
TEST_F(Unattended, AWrongImageCaughtByTheChecksumRecordFails) {
    device(36);
    exampleProject();
    writeFile(dir.filePath("board.chk"), "Checksum is: 7B5E");  // not what the image sums to
    const QString project = dir.filePath("cs.cmd");
    writeFile(project,
              projectText(flashRows("File", {{"check", "Action_CS", "x", "OK", "ERR", "2"}})));
    const Result r = run({"36", project.toStdString()});
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_EQ(readAll(summaryPath(36)), QByteArray("\r\nRxNAck\r\nDevice Reported=>: \r\n"));
}

TEST_F(Unattended, AWrongImageSeenOnlyInTheDeviceReportFails) {
    device(37);
    exampleProject();
    writeFile(dir.filePath("board.chk"), "Checksum is: 7B5E");
    const QString project = dir.filePath("report.cmd");
    writeFile(project,
              projectText(flashRows("File", {{"sum", "Command", "C!", "CHECKSUM", "ERR", "3"}})));
    const Result r = run({"37", project.toStdString()});
    EXPECT_EQ(r.exitCode, 1) << r.err;
    // The summary keeps its three lines; the exit status compares the two values.
    EXPECT_EQ(readAll(summaryPath(37)), QByteArray("\r\nOK\r\nCalculated CHECKSUM:7B5F\r\n"));

    writeFile(dir.filePath("board.chk"), "Checksum is: 7B5F");
    EXPECT_EQ(run({"37", project.toStdString()}).exitCode, 0);
}

TEST_F(Unattended, ARecordRefusedInTheMiddleOfAFileStopsThere) {
    const QString wire = dir.filePath("wire.log");
    auto& dev = device(38, {"--err-record", "30", "--log", wire.toStdString()});
    const QString project = dir.filePath("refused.cmd");
    exampleProject();
    writeFile(project,
              projectText(flashRows("File", {{"sum", "Command", "C!", "CHECKSUM", "ERR", "3"}})));
    const Result r = run({"38", project.toStdString()});
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_EQ(readAll(summaryPath(38)), QByteArray("\r\nRxNAck\r\nDevice Reported=>: \r\n"));
    dev.stop();
    // The wire carries the records up to the refused one, and nothing after it.
    const QList<QByteArray> lines = readAll(dir.filePath("board.hex")).trimmed().split('\n');
    const QByteArray refused = lines.at(29).trimmed();
    const QByteArray sent = readAll(wire);
    EXPECT_TRUE(sent.endsWith(refused)) << sent.right(80).constData();
    EXPECT_FALSE(sent.contains(lines.at(30).trimmed()));
    EXPECT_FALSE(sent.contains("C\r"));
}

// An error no operation handles (a Time-Out that is not a number) leaves one record in the
// error log beside the real program and one picture that decodes.
TEST_F(Unattended, AnErrorInARunIsRecordedBesideTheProgram) {
    device(39);
    const QString project = dir.filePath("timeout.cmd");
    writeFile(project, projectText({{"who", "Command", "ID!", "OK", "ERR", "2s"}}));
    const Result r = run({"39", project.toStdString()});
    EXPECT_EQ(r.exitCode, 1) << r.err;
    const QByteArray log = readAll(dir.filePath("_errors_log.txt"));
    EXPECT_TRUE(log.startsWith("##################### exception log header")) << log.constData();
    EXPECT_EQ(log.count("Exception class= "), 1) << log.constData();
    EXPECT_TRUE(log.contains("Exception class= EConvertError\r\n")) << log.constData();
    EXPECT_TRUE(log.contains("ExceptionMessage= '2s' is not a valid integer value"))
        << log.constData();
    const QStringList shots =
        QDir(dir.filePath("keldrin-errors")).entryList({"*.jpg"}, QDir::Files);
    ASSERT_EQ(shots.size(), 1);
    QImage picture;
    EXPECT_TRUE(picture.load(dir.filePath("keldrin-errors/" + shots.first()), "JPEG"));
    EXPECT_FALSE(picture.isNull());
}

// A project whose port setting does not convert is not run with what the load left behind.
TEST_F(Unattended, AProjectThatStopsLoadingIsNotRun) {
    const QString wire = dir.filePath("wire.log");
    device(40, {"--log", wire.toStdString()});
    const QString project = dir.filePath("broken.cmd");
    QByteArray text = projectText({{"who", "Command", "ID!", "OK", "ERR", "2"}});
    text.replace("ComPort_BaudRate=12", "ComPort_BaudRate=fast");
    writeFile(project, text);
    const Result r = run({"40", project.toStdString()});
    EXPECT_EQ(r.exitCode, 2) << r.err;
    EXPECT_NE(r.err.find(project.toStdString()), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("ComPort_BaudRate"), std::string::npos) << r.err;
    EXPECT_TRUE(readAll(wire).isEmpty());
    EXPECT_FALSE(QFile::exists(summaryPath(40)));
}

// Every way out counts the instance out again, also a start that cannot run.
TEST_F(Unattended, AStartThatCannotRunCountsItselfOut) {
    const QByteArray config = dir.filePath("config").toLocal8Bit();
    setenv("XDG_CONFIG_HOME", config.constData(), 1);
    device(41);
    const QString project = dir.filePath("nofw.cmd");
    writeFile(project, projectText({{"fw", "File", "/gone.hex", "OK", "ERR", "2"}}));
    for (int i = 0; i < 2; ++i) EXPECT_EQ(run({"41", project.toStdString()}).exitCode, 2);
    QSettings count(dir.filePath("config/Quenlor/Keldrin-.conf"), QSettings::IniFormat);
    EXPECT_EQ(count.value("ThisAppInstance").toString(), QStringLiteral("0"));
    unsetenv("XDG_CONFIG_HOME");
}

// SIGTERM during a run: the run stops as "Abort" stops it, the port is closed and the summary
// written within five seconds, and another program can have the port at once.
TEST_F(Unattended, SigtermDuringARunEndsInOrder) {
    const QString wire = dir.filePath("wire.log");
    auto& dev = device(42, {"--delay", "100", "--log", wire.toStdString()});
    Child c;
    spawn(c, {"42", exampleProject().toStdString()});
    // Well into the run: the device has had firmware records.
    ASSERT_TRUE(waitUntil([&] { return readAll(wire).count(':') > 3; }, 30000));
    ASSERT_EQ(readAll(summaryPath(42)), QByteArray("\r\nDoing...\r\nDevice Reported=>: \r\n"));
    const auto signalled = Clock::now();
    kill(c.pid, SIGTERM);
    const Result r = finish(c, 30);
    const double took = std::chrono::duration<double>(Clock::now() - signalled).count();
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_LT(took, 5.0);
    const int next = ::open(dev.devicePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(next, 0);
    EXPECT_EQ(flock(next, LOCK_EX | LOCK_NB), 0);
    ::close(next);
    const QByteArray summary = readAll(summaryPath(42));
    EXPECT_TRUE(summary.startsWith("\r\nDoing...\r\n")) << summary.constData();
}

// SIGTERM to an idle window closes it as its close button would: exit 0, instance counted out.
TEST_F(Unattended, SigtermToAnIdleWindowClosesIt) {
    const QByteArray config = dir.filePath("config").toLocal8Bit();
    setenv("XDG_CONFIG_HOME", config.constData(), 1);
    const QString store = dir.filePath("config/Quenlor/Keldrin-.conf");
    Child c;
    spawn(c, {});
    ASSERT_TRUE(waitUntil([&] { return readAll(store).contains("ThisAppInstance=1"); }, 20000));
    kill(c.pid, SIGTERM);
    const Result r = finish(c, 30);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(readAll(store).contains("ThisAppInstance=0")) << readAll(store).constData();
    unsetenv("XDG_CONFIG_HOME");
}
