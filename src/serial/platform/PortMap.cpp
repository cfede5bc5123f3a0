#include "serial/platform/PortMap.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <set>

#include "platform/Seams.h"

namespace keldrin::serial {

namespace {

std::string trim(const std::string& s) {
    std::size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t' || s[b] == '\r')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r')) --e;
    return s.substr(b, e - b);
}

// The COM number a line sets, with its device; 0 when the line sets none.
int parseLine(const std::string& rawLine, std::string* device) {
    std::string line = rawLine;
    const auto hash = line.find('#');
    if (hash != std::string::npos) line.erase(hash);
    const auto eq = line.find('=');
    if (eq == std::string::npos) return 0;
    const std::string key = trim(line.substr(0, eq));
    if (key.size() < 4 || key.size() > 6) return 0;
    if ((key[0] | 0x20) != 'c' || (key[1] | 0x20) != 'o' || (key[2] | 0x20) != 'm') return 0;
    int n = 0;
    for (std::size_t i = 3; i < key.size(); ++i) {
        if (key[i] < '0' || key[i] > '9') return 0;
        n = n * 10 + (key[i] - '0');
    }
    if (n < 1 || n > kMaxComNumber) return 0;
    if (device) *device = trim(line.substr(eq + 1));
    return n;
}

std::string lowered(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = char(c | 0x20);
    return s;
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        auto nl = text.find('\n', start);
        if (nl == std::string::npos) nl = text.size();
        lines.push_back(text.substr(start, nl - start));
        start = nl + 1;
    }
    return lines;
}

bool readAll(int fd, std::string* out) {
    out->clear();
    char buf[4096];
    for (;;) {
        const ssize_t r = ::read(fd, buf, sizeof buf);
        if (r == 0) return true;
        if (r < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        out->append(buf, static_cast<std::size_t>(r));
    }
}

bool writeAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t w = ::write(fd, text.data() + done, text.size() - done);
        if (w < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<std::size_t>(w);
    }
    return true;
}

std::string canonical(const std::string& path) {
    char buf[PATH_MAX];
    if (realpath(path.c_str(), buf)) return buf;
    return path;
}

std::string readSmallFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return {};
    std::string text;
    readAll(fd, &text);
    ::close(fd);
    return trim(text.substr(0, text.find('\n')));
}

bool exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

// Holds a file open under a flock for a scope.
struct LockedFile {
    int fd = -1;
    LockedFile(const std::string& path, int flags, int lock) {
        fd = ::open(path.c_str(), flags | O_CLOEXEC, 0644);
        if (fd < 0) return;
        while (flock(fd, lock) != 0) {
            if (errno != EINTR) {
                ::close(fd);
                fd = -1;
                return;
            }
        }
    }
    ~LockedFile() {
        if (fd >= 0) ::close(fd);  // closing releases the lock
    }
};

// Replaces or appends the lines of `entries` in `text`.
std::string applyEntries(const std::string& text, const PortMapEntries& entries) {
    std::vector<std::string> lines = splitLines(text);
    for (const auto& [com, device] : entries) {
        const std::string newLine = "COM" + std::to_string(com) + "=" + device;
        int last = -1;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (parseLine(lines[i], nullptr) == com) last = static_cast<int>(i);
        }
        if (last >= 0) {
            // Keep a comment that followed the old value.
            const auto hash = lines[last].find('#');
            lines[last] =
                hash == std::string::npos ? newLine : newLine + "  " + lines[last].substr(hash);
        } else {
            lines.push_back(newLine);
        }
    }
    std::string out;
    for (const auto& l : lines) out += l + "\n";
    return out;
}

bool rewrite(int fd, const std::string& text) {
    if (lseek(fd, 0, SEEK_SET) != 0) return false;
    if (ftruncate(fd, 0) != 0) return false;
    return writeAll(fd, text);
}

}  // namespace

std::string PortMapPath() {
    const char* env = std::getenv("KELDRIN_PORTS");
    if (env && *env) return env;
    return (platform::programFolder() + QStringLiteral("/Keldrin.ports")).toStdString();
}

PortMapEntries ParsePortMap(const std::string& text) {
    PortMapEntries map;
    for (const auto& line : splitLines(text)) {
        std::string device;
        const int n = parseLine(line, &device);
        if (n == 0) continue;
        if (device.empty())
            map.erase(n);  // "COM3=" takes the number back
        else
            map[n] = device;
    }
    return map;
}

bool AddsSystemDevices(const std::string& text) {
    bool adds = true;
    for (const auto& raw : splitLines(text)) {
        std::string line = raw.substr(0, raw.find('#'));
        const auto eq = line.find('=');
        if (eq == std::string::npos) continue;
        if (lowered(trim(line.substr(0, eq))) != "addsystemdevices") continue;
        const std::string value = lowered(trim(line.substr(eq + 1)));
        if (value == "no") adds = false;
        if (value == "yes") adds = true;
    }
    return adds;
}

namespace {

// The map file's text under a shared lock; empty when it is missing or unreadable.
std::string readMapText(const std::string& path) {
    LockedFile f(path, O_RDONLY, LOCK_SH);
    std::string text;
    if (f.fd < 0 || !readAll(f.fd, &text)) return {};
    return text;
}

}  // namespace

PortMapEntries ReadPortMap(const std::string& path) {
    return ParsePortMap(readMapText(path));
}

bool WritePortMapEntries(const std::string& path, const PortMapEntries& entries) {
    LockedFile f(path, O_RDWR | O_CREAT, LOCK_EX);
    if (f.fd < 0) return false;
    std::string text;
    if (!readAll(f.fd, &text)) return false;
    return rewrite(f.fd, applyEntries(text, entries));
}

PortMapEntries AssignNewDevices(const std::string& path, const std::vector<std::string>& devices) {
    LockedFile f(path, O_RDWR | O_CREAT, LOCK_EX);
    std::string text;
    if (f.fd >= 0 && !readAll(f.fd, &text)) text.clear();
    // A map this user may read but not write still holds the numbers chosen by hand; the new
    // devices get numbers for this run only.
    if (f.fd < 0) text = readMapText(path);
    PortMapEntries map = ParsePortMap(text);
    if (!AddsSystemDevices(text)) return map;

    std::set<std::string> named;
    for (const auto& [com, device] : map) {
        named.insert(device);
        named.insert(canonical(device));
    }
    PortMapEntries added;
    int next = 1;
    for (const auto& device : devices) {
        if (named.count(device) || named.count(canonical(device))) continue;
        while (next <= kMaxComNumber && map.count(next)) ++next;
        if (next > kMaxComNumber) break;
        map[next] = device;
        added[next] = device;
        named.insert(device);
        named.insert(canonical(device));
    }
    if (!added.empty() && f.fd >= 0) rewrite(f.fd, applyEntries(text, added));
    return map;
}

std::vector<std::string> SystemSerialDevices(const std::string& sysClassTty,
                                             const std::string& byIdDir,
                                             const std::string& devDir) {
    std::map<std::string, std::string> byId;  // canonical device -> by-id name
    if (DIR* d = opendir(byIdDir.c_str())) {
        while (dirent* e = readdir(d)) {
            if (e->d_name[0] == '.') continue;
            const std::string link = byIdDir + "/" + e->d_name;
            const std::string target = canonical(link);
            auto it = byId.find(target);
            if (it == byId.end() || link < it->second) byId[target] = link;
        }
        closedir(d);
    }
    std::vector<std::string> names;
    if (DIR* d = opendir(sysClassTty.c_str())) {
        while (dirent* e = readdir(d)) {
            if (e->d_name[0] == '.') continue;
            const std::string entry = sysClassTty + "/" + e->d_name;
            // Virtual terminals, ptys and consoles have no device behind them.
            if (!exists(entry + "/device")) continue;
            // A serial-core node reports its UART type; 0 means nothing answers there.
            if (exists(entry + "/type") && readSmallFile(entry + "/type") == "0") continue;
            names.push_back(e->d_name);
        }
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    std::vector<std::string> devices;
    for (const auto& n : names) {
        const std::string dev = devDir + "/" + n;
        auto it = byId.find(canonical(dev));
        devices.push_back(it != byId.end() ? it->second : dev);
    }
    return devices;
}

PortMapEntries CurrentPortMap() {
    const std::string path = PortMapPath();
    const std::string text = readMapText(path);
    PortMapEntries map = ParsePortMap(text);
    if (!AddsSystemDevices(text)) return map;
    const std::vector<std::string> devices = SystemSerialDevices();
    std::set<std::string> named;
    for (const auto& [com, device] : map) named.insert(canonical(device));
    const bool anyNew = std::any_of(devices.begin(), devices.end(), [&](const std::string& d) {
        return !named.count(canonical(d));
    });
    // The exclusive lock (and the file's creation) only when there is something to write.
    return anyNew ? AssignNewDevices(path, devices) : map;
}

std::string PortDeviceName(int com) {
    if (com < 1 || com > kMaxComNumber) return {};
    const PortMapEntries map = CurrentPortMap();
    auto it = map.find(com);
    return it == map.end() ? std::string() : it->second;
}

}  // namespace keldrin::serial
