// `keldrin <port> <project>` as a production line calls it: the built program, offscreen,
// against keldrin-devsim, judged by its exit status and the run summary file beside it.

#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "SimClient.h"
#include "support/OpenCounter.h"
#include "support/TestKit.h"

using keldrin::testkit::readAll;

namespace {

using Clock = std::chrono::steady_clock;

struct Result {
    int exitCode = -1;  // -1: did not end in time (it was killed)
    std::string err;
    double seconds = 0;
};

void writeFile(const QString& path, const QByteArray& data) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(data);
}

struct Row {
    const char* name;
    const char* type;
    const char* issue;
    const char* ack;
    const char* nack;
    const char* timeOut;
};

// A project file as an engineer writes one by hand (CR LF line ends, port at 115200 8N1).
QByteArray projectText(const std::vector<Row>& rows) {
    QByteArray out = "[1]\r\nName=<=>\r\n";
    int section = 2;
    for (const Row& r : rows) {
        out += "[" + QByteArray::number(section++) + "]\r\n";
        out += QByteArray("Name=") + r.name + "\r\nType=" + r.type + "\r\nIssue=" + r.issue +
               "\r\nACK_string=" + r.ack + "\r\nNACK_string=" + r.nack +
               "\r\nTime-Out=" + r.timeOut + "\r\n";
    }
    out +=
        "[Special_Settings]\r\nSpinEdit_DelayOnSent=0\r\n[ComPort_Settings]\r\n"
        "ComPort_BaudRate=12\r\nComPort_Databits=4\r\nComPort_FlowControl=0\r\n"
        "ComPort_Parity=0\r\nComPort_Stopbits=0\r\n";
    return out;
}

class Unattended : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        // A copy of the program, so that its summary and logs land in a folder of the test's.
        program = dir.filePath("keldrin");
        ASSERT_TRUE(QFile::copy(KELDRIN_PATH, program));
        QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        ports = dir.filePath("Keldrin.ports").toStdString();
        setenv("KELDRIN_PORTS", ports.c_str(), 1);
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    void TearDown() override {
        for (auto& d : devices) d->stop();
    }

    simtest::SimProcess& device(int com, std::vector<std::string> extra = {}) {
        std::vector<std::string> args{"--com", std::to_string(com), "--image",
                                      imagePath(com).toStdString()};
        args.insert(args.end(), extra.begin(), extra.end());
        devices.push_back(std::make_unique<simtest::SimProcess>());
        EXPECT_TRUE(devices.back()->start(args));
        return *devices.back();
    }
    QString imagePath(int com) const { return dir.filePath(QString("image%1.bin").arg(com)); }
    QString summaryPath(int com) const {
        return dir.filePath(QString("Keldrin-Comm%1.log").arg(com));
    }

    // Runs the program to its end (at most `limitSeconds`).
    Result run(const std::vector<std::string>& args, int limitSeconds = 60) {
        int err[2];
        EXPECT_EQ(pipe(err), 0);
        const auto start = Clock::now();
        const pid_t pid = fork();
        if (pid == 0) {
            dup2(err[1], 2);
            close(err[0]);
            std::vector<char*> argv;
            const std::string path = program.toStdString();
            argv.push_back(const_cast<char*>(path.c_str()));
            for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            execv(path.c_str(), argv.data());
            _exit(127);
        }
        close(err[1]);
        Result r;
        std::thread reader([&] {
            char buf[4096];
            ssize_t n;
            while ((n = read(err[0], buf, sizeof buf)) > 0) r.err.append(buf, size_t(n));
        });
        int status = 0;
        for (;;) {
            if (waitpid(pid, &status, WNOHANG) == pid) {
                r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
                break;
            }
            if (Clock::now() - start > std::chrono::seconds(limitSeconds)) {
                kill(pid, SIGKILL);
                waitpid(pid, &status, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        reader.join();
        close(err[0]);
        r.seconds = std::chrono::duration<double>(Clock::now() - start).count();
        return r;
    }
    // The example project copied into the test's folder.
    QString exampleProject() {
        for (const char* f : {"board.cmd", "board.hex", "board.chk"})
            EXPECT_TRUE(QFile::copy(QString(EXAMPLES_DIR "/") + f, dir.filePath(f)));
        return dir.filePath("board.cmd");
    }

    QTemporaryDir dir;
    QString program;
    std::string ports;
    std::vector<std::unique_ptr<simtest::SimProcess>> devices;
};

}  // namespace

TEST_F(Unattended, APassingProjectWritesItsSummaryAndEndsWithZero) {
    auto& dev = device(3);
    const Result r = run({"3", exampleProject().toStdString()});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(readAll(summaryPath(3)), QByteArray("\r\nOK\r\nCalculated CHECKSUM:7B5F\r\n"));
    EXPECT_EQ(dev.stop(), 0);
    EXPECT_EQ(readAll(imagePath(3)), readAll(EXAMPLES_DIR "/board-data.txt"));
}

TEST_F(Unattended, AFailingRowIsTheSecondLineAndTheStatusIsOne) {
    device(4, {"--silent-from", "2"});
    const QString project = dir.filePath("fail.cmd");
    writeFile(project, projectText({{"who", "Command", "ID!", "OK", "ERR", "1"},
                                    {"erase", "Command", "E!", "OK", "ERR", "1"},
                                    {"sum", "Command", "C!", "CHECKSUM", "ERR", "1"}}));
    const Result r = run({"4", project.toStdString()});
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_EQ(readAll(summaryPath(4)),
              QByteArray("\r\nCommunication Error\r\nDevice Reported=>: \r\n"));
}

TEST_F(Unattended, AFailureAfterARowThatSendsNothingIsStillTheVerdict) {
    device(5);
    const QString project = dir.filePath("mend.cmd");
    // The mode switch keeps an empty Status; the failing row after it decides the summary.
    writeFile(project, projectText({{"who", "Command", "ID!", "OK", "ERR", "1"},
                                    {"quiet", "IntCommand_NoLog", "off", "", "", ""},
                                    {"bad", "Command", "XYZ!", "OK", "ERR", "1"}}));
    const Result r = run({"5", project.toStdString()});
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_EQ(readAll(summaryPath(5)), QByteArray("\r\nRxNAck\r\nDevice Reported=>: \r\n"));
}

TEST_F(Unattended, APulledDeviceEndsTheRunWithItsSummary) {
    device(6, {"--pull-after", "600"});
    const Result r = run({"6", exampleProject().toStdString()}, 30);
    EXPECT_EQ(r.exitCode, 1) << r.err;
    const QByteArray summary = readAll(summaryPath(6));
    EXPECT_TRUE(summary.startsWith("\r\n")) << summary.constData();
    EXPECT_TRUE(summary.endsWith("\r\nDevice Reported=>: \r\n")) << summary.constData();
    EXPECT_LT(r.seconds, 20);
}

TEST_F(Unattended, ArgumentsThatCannotWorkEndAtOnceWithTwo) {
    const std::string project = exampleProject().toStdString();
    const std::vector<std::vector<std::string>> cases{
        {"0", project},
        {"256", project},
        {"COM3", project},
        {"3"},
        {"3", dir.filePath("missing.cmd").toStdString()},
        {"", project}};
    for (const auto& args : cases) {
        const Result r = run(args, 10);
        EXPECT_EQ(r.exitCode, 2) << args.size();
        EXPECT_LT(r.seconds, 1.0);
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_EQ(r.err.rfind("keldrin: ", 0), 0u) << r.err;
    }
}

TEST_F(Unattended, AMissingFirmwareFileIsSaidAndEndsWithTwo) {
    device(7);
    const QString project = dir.filePath("nofw.cmd");
    writeFile(project, projectText({{"fw", "File", "C:\\work\\gone.hex", "OK", "ERR", "2"}}));
    const Result r = run({"7", project.toStdString()}, 20);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("File not exist!"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(dir.filePath("gone.hex").toStdString()), std::string::npos) << r.err;
}

TEST_F(Unattended, FourInstancesOnFourPortsKeepApart) {
    const QString project = exampleProject();
    for (int com : {11, 12, 13, 14}) device(com);
    std::vector<std::thread> lines;
    std::vector<Result> results(4);
    for (int i = 0; i < 4; ++i)
        lines.emplace_back([&, i] {
            results[size_t(i)] = run({std::to_string(11 + i), project.toStdString()}, 90);
        });
    for (auto& t : lines) t.join();
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(results[size_t(i)].exitCode, 0)
            << results[size_t(i)].err << readAll(summaryPath(11 + i)).toStdString();
        EXPECT_EQ(readAll(summaryPath(11 + i)),
                  QByteArray("\r\nOK\r\nCalculated CHECKSUM:7B5F\r\n"));
    }
    for (auto& d : devices) EXPECT_EQ(d->stop(), 0);
    for (int com : {11, 12, 13, 14})
        EXPECT_EQ(readAll(imagePath(com)), readAll(EXAMPLES_DIR "/board-data.txt")) << com;
}

TEST_F(Unattended, ARunOpensOnlyItsOwnDevice) {
    auto& dev = device(2);
    // Two more boards on the same computer, whose lines this run must leave alone: every open
    // raises DTR and RTS, which resets many boards.
    struct Pty {
        int master = -1, slave = -1;
        std::string path;
        Pty() {
            char name[256] = {};
            if (openpty(&master, &slave, name, nullptr, nullptr) == 0) path = name;
        }
        ~Pty() {
            ::close(master);
            ::close(slave);
        }
    } one, three;
    ASSERT_FALSE(one.path.empty());
    ASSERT_FALSE(three.path.empty());
    {
        QFile map(QString::fromStdString(ports));
        ASSERT_TRUE(map.open(QIODevice::Append));
        map.write(QByteArray("COM1=") + one.path.c_str() + "\nCOM3=" + three.path.c_str() + "\n");
    }
    const QString project = dir.filePath("who.cmd");
    writeFile(project, projectText({{"who", "Command", "ID!", "OK", "ERR", "2"}}));

    keldrin::testkit::OpenCounter opens({one.path, dev.devicePath(), three.path});
    ASSERT_TRUE(opens.ok());
    const Result r = run({"2", project.toStdString()});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(opens.opens(one.path), 0);
    EXPECT_EQ(opens.opens(three.path), 0);
    EXPECT_GE(opens.opens(dev.devicePath()), 1);
}
