// The built keldrin run unattended in a folder of the test's own, against keldrin-devsim:
// a copy of the program (so its summary and logs land beside it), a port map, project files.
#pragma once

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "SimClient.h"
#include "support/ChildReports.h"
#include "support/TestKit.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Result {
    int exitCode = -1;  // -1: did not end in time (it was killed), or ended by a signal
    std::string err;
    double seconds = 0;
};

inline void writeFile(const QString& path, const QByteArray& data) {
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
inline QByteArray projectText(const std::vector<Row>& rows) {
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

// A started program: its pid and the read end of its standard error.
struct Child {
    pid_t pid = -1;
    int err = -1;
    Clock::time_point start;
    std::string errText;
    std::thread reader;
};

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

    // Starts the program; with `uid` >= 0 (the test running as root) it runs as that user.
    void spawn(Child& c, const std::vector<std::string>& args, int uid = -1) {
        int err[2];
        ASSERT_EQ(pipe(err), 0);
        const auto reports = keldrin::testkit::childSanitizerEnv();
        c.start = Clock::now();
        c.pid = fork();
        if (c.pid == 0) {
            dup2(err[1], 2);
            close(err[0]);
            for (const auto& [k, v] : reports) setenv(k.c_str(), v.c_str(), 1);
            if (uid >= 0) {
                const std::string home = dir.path().toStdString();
                setenv("HOME", home.c_str(), 1);
                if (setgid(gid_t(uid)) != 0 || setuid(uid_t(uid)) != 0) _exit(126);
            }
            std::vector<char*> argv;
            const std::string path = program.toStdString();
            argv.push_back(const_cast<char*>(path.c_str()));
            for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            execv(path.c_str(), argv.data());
            _exit(127);
        }
        close(err[1]);
        c.err = err[0];
        c.reader = std::thread([&c] {
            char buf[4096];
            ssize_t n;
            while ((n = read(c.err, buf, sizeof buf)) > 0) c.errText.append(buf, size_t(n));
        });
    }
    // Waits for the program's end (at most `limitSeconds`, then it is killed).
    Result finish(Child& c, int limitSeconds) {
        Result r;
        int status = 0;
        for (;;) {
            if (waitpid(c.pid, &status, WNOHANG) == c.pid) {
                r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
                break;
            }
            if (Clock::now() - c.start > std::chrono::seconds(limitSeconds)) {
                kill(c.pid, SIGKILL);
                waitpid(c.pid, &status, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        keldrin::testkit::checkChildReport(c.pid);
        c.reader.join();
        close(c.err);
        r.err = c.errText;
        r.seconds = std::chrono::duration<double>(Clock::now() - c.start).count();
        return r;
    }
    // Runs the program to its end (at most `limitSeconds`).
    Result run(const std::vector<std::string>& args, int limitSeconds = 60, int uid = -1) {
        Child c;
        spawn(c, args, uid);
        return finish(c, limitSeconds);
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

// Waits (polling, bounded) until `done` holds.
inline bool waitUntil(const std::function<bool()>& done, int limitMs) {
    const auto end = Clock::now() + std::chrono::milliseconds(limitMs);
    while (Clock::now() < end) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return done();
}

}  // namespace
