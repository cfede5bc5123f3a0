#pragma once

// A pseudo-terminal pair for the serial tests, and a port map file that points COM numbers at
// it (through KELDRIN_PORTS).

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>

#include "platform/EventPump.h"
#include "serial/platform/PortMap.h"

namespace keldrin::serial::testing {

struct PtyPair {
    int master = -1;
    int slave = -1;  // kept open so the line stays up while the port closes and reopens
    std::string path;

    PtyPair() {
        char name[256];
        if (openpty(&master, &slave, name, nullptr, nullptr) != 0) return;
        path = name;
        termios t{};
        tcgetattr(master, &t);
        cfmakeraw(&t);
        tcsetattr(master, TCSANOW, &t);
        fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    }
    ~PtyPair() {
        closeMaster();
        if (slave >= 0) ::close(slave);
    }
    void closeMaster() {
        if (master >= 0) ::close(master);
        master = -1;
    }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;
};

// One map file for the whole test program.
inline std::string& mapPath() {
    static QTemporaryDir dir;
    static std::string path = [] {
        const std::string p = dir.filePath(QStringLiteral("Keldrin.ports")).toStdString();
        setenv("KELDRIN_PORTS", p.c_str(), 1);
        return p;
    }();
    return path;
}

inline void mapPort(int com, const std::string& device) {
    WritePortMapEntries(mapPath(), {{com, device}});
}

// Pumps the window thread's events until `done` or the time-out; true when done.
inline bool pumpUntil(const std::function<bool()>& done, int timeoutMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        WaitForEvents(5);
    }
    return true;
}

// Everything the master side can read within `quietMs` of silence.
inline std::string readAvailable(int fd, int quietMs) {
    std::string out;
    char buf[65536];
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, quietMs) <= 0) return out;
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n <= 0) return out;
        out.append(buf, static_cast<std::size_t>(n));
    }
}

// Reads until `size` bytes have come or the time-out has passed; returns what came.
inline std::string readAtLeast(int fd, std::size_t size, int timeoutMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::string out;
    char buf[65536];
    while (out.size() < size) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              end - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0) break;
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left)) <= 0) continue;
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n > 0) out.append(buf, static_cast<std::size_t>(n));
    }
    return out;
}

}  // namespace keldrin::serial::testing
