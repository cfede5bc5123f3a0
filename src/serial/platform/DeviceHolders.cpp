#include "serial/platform/DeviceHolders.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>

namespace keldrin::serial {

namespace {

// Unix98 pseudo-terminal slaves; their index is what the master's fdinfo names.
bool isPtySlave(dev_t rdev) {
    return major(rdev) >= 136 && major(rdev) <= 143;
}
long ptyIndex(dev_t rdev) {
    return long(major(rdev) - 136) * 256 + long(minor(rdev));
}
// /dev/ptmx and /dev/pts/ptmx: a descriptor of either is a master.
bool isPtyMaster(dev_t rdev) {
    return major(rdev) == 5 && minor(rdev) == 2;
}

// A small text file whole (a lock file, an fdinfo, a sysfs attribute); empty when unreadable.
std::string readText(const std::string& path, std::size_t limit = 64 * 1024) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return {};
    std::string text;
    char buf[4096];
    while (text.size() < limit) {
        const ssize_t r = ::read(fd, buf, sizeof buf);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) break;
        text.append(buf, static_cast<std::size_t>(r));
    }
    ::close(fd);
    return text;
}

std::string lockNameOf(const std::string& path) {
    std::string name;
    if (path.rfind("/dev/", 0) == 0) {
        name = path.substr(5);
        std::replace(name.begin(), name.end(), '/', '_');
    } else {
        name = path.substr(path.rfind('/') + 1);
    }
    return name;
}

// The pid a UUCP lock file holds: ten blanks-padded decimal digits as a rule, or the old
// binary form (four bytes); 0 when it says nothing readable.
pid_t lockFilePid(const std::string& text) {
    const bool textual = std::all_of(text.begin(), text.end(), [](char c) {
        return (c >= '0' && c <= '9') || c == ' ' || c == '\t' || c == '\n';
    });
    if (!textual) {
        if (text.size() != sizeof(int)) return 0;
        int binary = 0;
        std::copy(text.begin(), text.end(), reinterpret_cast<char*>(&binary));
        return binary > 0 ? static_cast<pid_t>(binary) : 0;
    }
    long pid = 0;
    std::size_t digits = 0;
    for (char c : text) {
        if (c >= '0' && c <= '9' && digits < 10) {
            pid = pid * 10 + (c - '0');
            ++digits;
        } else if (digits > 0) {
            break;
        }
    }
    return static_cast<pid_t>(pid);
}

bool processAlive(pid_t pid) {
    if (pid <= 0) return false;
    return ::kill(pid, 0) == 0 || errno == EPERM;
}

// (file system, inode) of every lock in /proc/locks. A line reads
// "1: FLOCK  ADVISORY  WRITE 1234 00:05:87 0 EOF" (major and minor in hex, inode in decimal);
// a waiter's line ("1: -> FLOCK ...") names the same file and changes nothing.
std::set<std::pair<dev_t, ino_t>> lockedNodes(const std::string& proc) {
    std::set<std::pair<dev_t, ino_t>> nodes;
    const std::string text = readText(proc + "/locks", 4 * 1024 * 1024);
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(start, end - start);
        start = end + 1;
        std::size_t pos = 0;
        while (pos < line.size()) {
            while (pos < line.size() && line[pos] == ' ') ++pos;
            std::size_t stop = line.find(' ', pos);
            if (stop == std::string::npos) stop = line.size();
            const std::string token = line.substr(pos, stop - pos);
            pos = stop;
            unsigned maj = 0, min = 0;
            unsigned long long ino = 0;
            char tail = 0;
            if (std::count(token.begin(), token.end(), ':') == 2 &&
                std::sscanf(token.c_str(), "%x:%x:%llu%c", &maj, &min, &ino, &tail) == 3) {
                nodes.insert({makedev(maj, min), static_cast<ino_t>(ino)});
                break;
            }
        }
    }
    return nodes;
}

bool uucpLocked(const SerialDeviceId& device, const HolderSources& sources) {
    const pid_t self = ::getpid();
    for (const std::string& dir : sources.lockDirs) {
        for (const std::string& name : device.lockNames) {
            const pid_t pid = lockFilePid(readText(dir + "/LCK.." + name, 64));
            // A lock naming us is a dead program's whose pid we got: we take none.
            if (pid != self && processAlive(pid)) return true;
        }
    }
    return false;
}

// Which of `wanted` the processes in /proc hold, leaving out ourselves and the master's own
// holder of each pseudo-terminal.
std::set<dev_t> heldByOthers(const std::set<dev_t>& wanted, const std::string& proc) {
    std::set<dev_t> held;
    DIR* all = ::opendir(proc.c_str());
    if (!all) return held;
    const long self = static_cast<long>(::getpid());
    while (const dirent* p = ::readdir(all)) {
        char* end = nullptr;
        const long pid = std::strtol(p->d_name, &end, 10);
        if (*end != '\0' || pid <= 0 || pid == self) continue;
        const std::string fdDir = proc + "/" + p->d_name + "/fd";
        DIR* fds = ::opendir(fdDir.c_str());
        if (!fds) continue;  // another user's program, or one that has just ended
        std::set<dev_t> holds;
        std::set<long> masters;
        while (const dirent* f = ::readdir(fds)) {
            if (f->d_name[0] == '.') continue;
            // Device nodes live under /dev: the descriptor's link says so without a stat of
            // every file, socket or pipe (a stat of a file on a hung network mount would wait).
            char link[16];
            const ssize_t n = ::readlinkat(::dirfd(fds), f->d_name, link, sizeof link);
            if (n < 5 || std::string(link, 5) != "/dev/") continue;
            struct stat st {};
            // Follows the descriptor's link to the node: a stat, not an open.
            if (::fstatat(::dirfd(fds), f->d_name, &st, 0) != 0 || !S_ISCHR(st.st_mode)) continue;
            if (wanted.count(st.st_rdev)) {
                holds.insert(st.st_rdev);
            } else if (isPtyMaster(st.st_rdev)) {
                const std::string info =
                    readText(proc + "/" + p->d_name + "/fdinfo/" + f->d_name, 4096);
                const auto at = info.find("tty-index:");
                if (at != std::string::npos) masters.insert(std::atol(info.c_str() + at + 10));
            }
        }
        ::closedir(fds);
        for (dev_t rdev : holds) {
            if (isPtySlave(rdev) && masters.count(ptyIndex(rdev))) continue;
            held.insert(rdev);
        }
    }
    ::closedir(all);
    return held;
}

}  // namespace

DevicePresence LookUpSerialDevice(const std::string& path, SerialDeviceId* id,
                                  const std::string& sysDevChar) {
    if (path.empty()) return DevicePresence::Absent;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return errno == EACCES ? DevicePresence::Denied : DevicePresence::Absent;
    if (!S_ISCHR(st.st_mode)) return DevicePresence::Absent;

    // A terminal device: a pseudo-terminal slave (not in sysfs), or a node of the tty class.
    if (!isPtySlave(st.st_rdev) && major(st.st_rdev) != 3) {
        const std::string node = sysDevChar + "/" + std::to_string(major(st.st_rdev)) + ":" +
                                 std::to_string(minor(st.st_rdev));
        char link[PATH_MAX];
        const ssize_t n = ::readlink((node + "/subsystem").c_str(), link, sizeof link - 1);
        if (n > 0) {
            const std::string subsystem(link, static_cast<std::size_t>(n));
            if (subsystem.substr(subsystem.rfind('/') + 1) != "tty") return DevicePresence::Absent;
            // A serial-core node reports its UART type; 0 means nothing answers there.
            std::string type = readText(node + "/type", 64);
            while (!type.empty() && (type.back() == '\n' || type.back() == ' ')) type.pop_back();
            if (type == "0") return DevicePresence::Absent;
        } else {
            struct stat sys {};
            // No sysfs to ask: the node is taken at its word.
            if (::stat(sysDevChar.c_str(), &sys) == 0) return DevicePresence::Absent;
        }
    }

    if (id) {
        id->path = path;
        id->rdev = st.st_rdev;
        id->fsDev = st.st_dev;
        id->inode = st.st_ino;
        id->lockNames = {lockNameOf(path)};
        char real[PATH_MAX];
        if (::realpath(path.c_str(), real)) {
            const std::string name = lockNameOf(real);
            if (name != id->lockNames.front()) id->lockNames.push_back(name);
        }
    }
    if (::faccessat(AT_FDCWD, path.c_str(), R_OK | W_OK, AT_EACCESS) != 0 &&
        (errno == EACCES || errno == EPERM || errno == EROFS))
        return DevicePresence::Denied;
    return DevicePresence::Present;
}

std::vector<bool> DevicesHeld(const std::vector<SerialDeviceId>& devices,
                              const HolderSources& sources) {
    std::vector<bool> held(devices.size(), false);
    if (devices.empty()) return held;
    const auto locks = lockedNodes(sources.proc);
    std::set<dev_t> wanted;
    for (std::size_t i = 0; i < devices.size(); ++i) {
        const SerialDeviceId& d = devices[i];
        held[i] = locks.count({d.fsDev, d.inode}) || uucpLocked(d, sources);
        if (!held[i]) wanted.insert(d.rdev);
    }
    if (wanted.empty()) return held;
    const std::set<dev_t> others = heldByOthers(wanted, sources.proc);
    for (std::size_t i = 0; i < devices.size(); ++i)
        if (!held[i] && others.count(devices[i].rdev)) held[i] = true;
    return held;
}

bool DeviceHeld(const SerialDeviceId& device, const HolderSources& sources) {
    return DevicesHeld({device}, sources).front();
}

}  // namespace keldrin::serial
