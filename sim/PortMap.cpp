#include "PortMap.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace devsim {

namespace {

std::string trim(const std::string& s) {
    std::size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
    return s.substr(b, e - b);
}

struct Entry {
    int com = 0;  // 0: not an entry (comment, blank, anything else)
    std::string device;
    std::string comment;  // from "#" on, kept when the line is rewritten
};

Entry parseLine(const std::string& line) {
    Entry e;
    std::string body = line;
    const std::size_t hash = body.find('#');
    if (hash != std::string::npos) {
        e.comment = body.substr(hash);
        body.erase(hash);
    }
    const std::size_t eq = body.find('=');
    if (eq == std::string::npos) return e;
    const std::string key = trim(body.substr(0, eq));
    if (key.size() < 4 || key.size() > 6) return e;
    if (std::toupper(static_cast<unsigned char>(key[0])) != 'C' ||
        std::toupper(static_cast<unsigned char>(key[1])) != 'O' ||
        std::toupper(static_cast<unsigned char>(key[2])) != 'M')
        return e;
    int n = 0;
    for (std::size_t i = 3; i < key.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(key[i]))) return e;
        n = n * 10 + (key[i] - '0');
    }
    if (n < 1 || n > 255) return e;
    e.com = n;
    e.device = trim(body.substr(eq + 1));
    return e;
}

std::string sysError(const std::string& what, const std::string& path) {
    return what + " " + path + ": " + std::strerror(errno);
}

// Runs edit on the lines of the locked map file and writes them back when edit says so.
template <typename Edit>
bool editMap(const std::string& path, Edit edit, std::string& error) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = sysError("cannot open the port map", path);
        return false;
    }
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    while (::flock(fd, LOCK_EX) != 0) {
        if (errno != EINTR) {
            error = sysError("cannot lock the port map", path);
            return false;
        }
    }
    std::string text;
    char buf[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            error = sysError("cannot read the port map", path);
            return false;
        }
        if (n == 0) break;
        text.append(buf, static_cast<std::size_t>(n));
    }
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    if (!edit(lines)) return true;

    std::string out;
    for (const std::string& line : lines) out += line + "\n";
    if (::lseek(fd, 0, SEEK_SET) < 0 || ::ftruncate(fd, 0) != 0) {
        error = sysError("cannot rewrite the port map", path);
        return false;
    }
    std::size_t done = 0;
    while (done < out.size()) {
        const ssize_t n = ::write(fd, out.data() + done, out.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error = sysError("cannot write the port map", path);
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

std::string portMapPath() {
    const char* env = std::getenv("KELDRIN_PORTS");
    if (env != nullptr && *env != '\0') return env;
    return filesFolder() + "/Keldrin.ports";
}

std::string filesFolder() {
    // Keldrin's rule for where its files live, so that both find the same port map.
    const char* home = std::getenv("KELDRIN_HOME");
    if (home != nullptr && *home != '\0') return home;
    std::string exe(4096, '\0');
    const ssize_t n = ::readlink("/proc/self/exe", exe.data(), exe.size());
    if (n > 0) {
        exe.resize(static_cast<std::size_t>(n));
        const std::size_t slash = exe.rfind('/');
        const std::string dir = slash == std::string::npos ? "." : exe.substr(0, slash);
        const bool systemFolder = dir.rfind("/usr/", 0) == 0 || dir == "/bin" || dir == "/sbin";
        if (!systemFolder && ::access(dir.c_str(), W_OK) == 0) return dir;
    }
    const char* xdg = std::getenv("XDG_DATA_HOME");
    const char* user = std::getenv("HOME");
    if (user == nullptr || *user == '\0') {
        const passwd* pw = ::getpwuid(::getuid());
        user = pw != nullptr ? pw->pw_dir : "";
    }
    const std::string data =
        xdg != nullptr && xdg[0] == '/' ? std::string(xdg) : std::string(user) + "/.local/share";
    const std::string folder = data + "/keldrin";
    // Made on first use, as Keldrin does; when that fails, writing the map says so.
    std::string partial;
    for (std::size_t at = 1; at != std::string::npos;) {
        at = folder.find('/', at + 1);
        partial = folder.substr(0, at);
        ::mkdir(partial.c_str(), 0755);
    }
    return folder;
}

bool setPortEntry(const std::string& mapPath, int com, const std::string& device,
                  std::string& error) {
    const std::string entry = "COM" + std::to_string(com) + "=" + device;
    return editMap(
        mapPath,
        [&](std::vector<std::string>& lines) {
            bool placed = false;
            std::vector<std::string> kept;
            for (const std::string& line : lines) {
                const Entry e = parseLine(line);
                if (e.com != com) {
                    kept.push_back(line);
                } else if (!placed) {
                    kept.push_back(e.comment.empty() ? entry : entry + " " + e.comment);
                    placed = true;
                }
            }
            if (!placed) kept.push_back(entry);
            lines.swap(kept);
            return true;
        },
        error);
}

bool removePortEntry(const std::string& mapPath, int com, const std::string& device,
                     std::string& error) {
    return editMap(
        mapPath,
        [&](std::vector<std::string>& lines) {
            std::vector<std::string> kept;
            for (const std::string& line : lines) {
                const Entry e = parseLine(line);
                if (e.com != com || e.device != device) kept.push_back(line);
            }
            const bool changed = kept.size() != lines.size();
            lines.swap(kept);
            return changed;
        },
        error);
}

}  // namespace devsim
