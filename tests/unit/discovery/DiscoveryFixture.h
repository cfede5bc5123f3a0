#pragma once

// Port maps for the discovery tests. The machine's own serial devices would take the lowest free
// numbers of a test map, so they are parked at the top (255 downwards): COM 1 to 99 then hold
// exactly what a test puts there.

#include <sys/file.h>

#include <QFile>
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

}  // namespace keldrin::serial::testing
