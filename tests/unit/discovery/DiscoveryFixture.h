#pragma once

// Port maps for the discovery tests. The machine's own serial devices would take the lowest free
// numbers of a test map, so they are parked at the top (255 downwards): COM 1 to 99 then hold
// exactly what a test puts there.

#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QFile>
#include <algorithm>
#include <cstdio>
#include <map>
#include <string>

#include "serial/platform/PortMap.h"
#include "unit/serial/PtyFixture.h"

namespace keldrin::serial::testing {

// Rewrites the whole test map: the parked system devices and `entries`.
inline void useMap(const std::map<int, std::string>& entries) {
    std::string text;
    int parked = kMaxComNumber;
    for (const auto& device : SystemSerialDevices())
        text += "COM" + std::to_string(parked--) + "=" + device + "\n";
    for (const auto& [com, device] : entries)
        text += "COM" + std::to_string(com) + "=" + device + "\n";
    QFile f(QString::fromStdString(mapPath()));
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(text.data(), qint64(text.size()));
}

// Another program holding a device the way terminal programs do: its own open and a flock.
struct FlockHolder {
    int fd = -1;
    explicit FlockHolder(const std::string& path) {
        fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) != 0) {
            ::close(fd);
            fd = -1;
        }
    }
    ~FlockHolder() {
        if (fd >= 0) ::close(fd);
    }
    FlockHolder(const FlockHolder&) = delete;
    FlockHolder& operator=(const FlockHolder&) = delete;
};

// Another program: a child process that opens `path` (when given) the way a terminal program
// does, takes a flock on it when asked (screen and cat take none), and keeps it until the
// fixture ends. It keeps nothing else of ours open, so it holds no pseudo-terminal's master.
struct HoldingProcess {
    pid_t pid = -1;
    bool ok = false;
    explicit HoldingProcess(const std::string& path = {}, bool lock = false) {
        int ready[2];
        if (pipe2(ready, O_CLOEXEC) != 0) return;
        pid = fork();
        if (pid == 0) {
            int fd = -1;
            char result = '1';
            if (!path.empty()) {
                fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
                if (fd < 0 || (lock && flock(fd, LOCK_EX | LOCK_NB) != 0)) result = '0';
            }
            for (int i = 3; i < 4096; ++i)
                if (i != fd && i != ready[1]) ::close(i);
            if (::write(ready[1], &result, 1) != 1) _exit(1);
            ::close(ready[1]);
            for (;;) pause();
        }
        ::close(ready[1]);
        char result = 0;
        ok = pid > 0 && ::read(ready[0], &result, 1) == 1 && result == '1';
        ::close(ready[0]);
    }
    ~HoldingProcess() {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }
    HoldingProcess(const HoldingProcess&) = delete;
    HoldingProcess& operator=(const HoldingProcess&) = delete;
};

// The pid of a process that has ended.
inline pid_t deadPid() {
    const pid_t pid = fork();
    if (pid == 0) _exit(0);
    waitpid(pid, nullptr, 0);
    return pid;
}

// A UUCP lock file for a device under /dev, as minicom writes one: "LCK..ttyUSB0" (pts/3 as
// "pts_3") holding the pid in ten columns and a newline. Removed when the fixture ends.
struct UucpLockFile {
    std::string file;
    UucpLockFile(const std::string& dir, const std::string& device, pid_t pid) {
        std::string name = device.substr(5);  // after "/dev/"
        std::replace(name.begin(), name.end(), '/', '_');
        file = dir + "/LCK.." + name;
        char text[16];
        std::snprintf(text, sizeof text, "%10d\n", int(pid));
        QFile f(QString::fromStdString(file));
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(text, 11) != 11)
            file.clear();
    }
    ~UucpLockFile() {
        if (!file.empty()) ::unlink(file.c_str());
    }
    bool ok() const { return !file.empty(); }
    UucpLockFile(const UucpLockFile&) = delete;
    UucpLockFile& operator=(const UucpLockFile&) = delete;
};

}  // namespace keldrin::serial::testing
