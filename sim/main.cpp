// keldrin-devsim: a simulated device on a pseudo-terminal, so that Keldrin can be run, shown and
// tested without hardware. Prints the device path as its first line, then serves until SIGINT,
// SIGTERM or SIGHUP (or, with --once, until its client closes the port).

#include <dirent.h>
#include <fcntl.h>
#include <getopt.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "Bootloader.h"
#include "PortMap.h"

namespace {

using Clock = std::chrono::steady_clock;

const char kUsage[] =
    "Usage: keldrin-devsim [options]\n"
    "Plays a small bootloader on a pseudo-terminal and prints the device path as its first\n"
    "line. Ends on SIGINT, SIGTERM or SIGHUP.\n"
    "\n"
    "The device (every command ends with CR; answers end with CR LF):\n"
    "  ID                 answers \"KELDRIN-SIM 1.0\" and \"OK\"\n"
    "  E                  erases the image, answers \"OK\"\n"
    "  C                  answers \"CHECKSUM:XXXX\", the 16-bit sum of the data bytes received\n"
    "                     since the last erase, as four upper-case hex digits\n"
    "  :LLAAAATT...CC     an Intel HEX record as text, no line end needed\n"
    "  @ and raw bytes    the same record as bytes (count, address, type, data, checksum)\n"
    "                     each record answers \"OK\", or \"ERR\" for a bad record checksum, an\n"
    "                     unknown type or a broken text record; data records fill the image\n"
    "  :0300000312XXXXCC  checksum record: \"OK\" when XXXX is the image checksum\n"
    "  0x3D or 0x05       a sync byte on its own answers \"SYNC\"\n"
    "  other text, CR     answers \"ERR\"\n"
    "\n"
    "Options:\n"
    "  --com N            write COMN=<device> into the port map (KELDRIN_PORTS, else\n"
    "                     Keldrin.ports where Keldrin keeps its files: KELDRIN_HOME,\n"
    "                     else beside this program when its folder can be written to,\n"
    "                     else ~/.local/share/keldrin) and remove it at the end\n"
    "  --once             end when the client that opened the device closes it\n"
    "  --log FILE         write every received byte to FILE\n"
    "  --image FILE       write the rebuilt image to FILE at the end (lowest to highest\n"
    "                     address written, gaps filled with 0xFF)\n"
    "  --help             show this text\n"
    "\n"
    "Faults (messages and records are counted from 1):\n"
    "  --silent-from N    answer nothing from the Nth message on\n"
    "  --err-record N     answer \"ERR\" to the Nth record and do not apply it\n"
    "  --lowercase-once   send the first answer in lower case\n"
    "  --lowercase-at N   send the answer to the Nth message in lower case\n"
    "  --delay MS         send every answer MS milliseconds late\n"
    "  --split-ms MS      send answers one byte at a time, MS milliseconds apart\n"
    "  --pull-after N     close the device after N received bytes (a pulled cable) and end\n"
    "  --checksum-stall   answer \"C\" with \"CHECKSUM\" alone, then fall silent\n";

struct Options {
    int com = 0;
    bool once = false;
    std::string logPath;
    std::string imagePath;
    devsim::AnswerFaults faults;
    long delayMs = 0;
    long splitMs = 0;
    long pullAfter = 0;
};

int signalPipe[2] = {-1, -1};

void onSignal(int signo) {
    const int saved = errno;
    const char c = static_cast<char>(signo);
    (void)!::write(signalPipe[1], &c, 1);
    errno = saved;
}

bool parseCount(const char* text, long low, long high, long& value) {
    if (text == nullptr || *text == '\0') return false;
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text, &end, 10);
    if (errno != 0 || *end != '\0' || v < low || v > high) return false;
    value = v;
    return true;
}

// Returns 0 on success, else the exit code (2 for a usage error, 0 after --help).
int parseOptions(int argc, char** argv, Options& o, bool& helpShown) {
    enum {
        kCom = 1000,
        kOnce,
        kLog,
        kImage,
        kHelp,
        kSilentFrom,
        kErrRecord,
        kLowercaseOnce,
        kLowercaseAt,
        kDelay,
        kSplit,
        kPull,
        kStall
    };
    static const option longOptions[] = {{"com", required_argument, nullptr, kCom},
                                         {"once", no_argument, nullptr, kOnce},
                                         {"log", required_argument, nullptr, kLog},
                                         {"image", required_argument, nullptr, kImage},
                                         {"help", no_argument, nullptr, kHelp},
                                         {"silent-from", required_argument, nullptr, kSilentFrom},
                                         {"err-record", required_argument, nullptr, kErrRecord},
                                         {"lowercase-once", no_argument, nullptr, kLowercaseOnce},
                                         {"lowercase-at", required_argument, nullptr, kLowercaseAt},
                                         {"delay", required_argument, nullptr, kDelay},
                                         {"split-ms", required_argument, nullptr, kSplit},
                                         {"pull-after", required_argument, nullptr, kPull},
                                         {"checksum-stall", no_argument, nullptr, kStall},
                                         {nullptr, 0, nullptr, 0}};
    opterr = 0;
    for (;;) {
        const int optionIndex = optind;
        const int c = getopt_long(argc, argv, "", longOptions, nullptr);
        if (c == -1) break;
        const char* name = argv[optionIndex];
        long v = 0;
        auto bad = [&](const char* what) {
            std::fprintf(stderr, "keldrin-devsim: %s: %s\n", name, what);
            return 2;
        };
        switch (c) {
            case kCom:
                if (!parseCount(optarg, 1, 255, v)) return bad("N must be a number from 1 to 255");
                o.com = static_cast<int>(v);
                break;
            case kOnce:
                o.once = true;
                break;
            case kLog:
                o.logPath = optarg;
                break;
            case kImage:
                o.imagePath = optarg;
                break;
            case kHelp:
                std::fputs(kUsage, stdout);
                helpShown = true;
                return 0;
            case kSilentFrom:
            case kErrRecord:
            case kLowercaseAt:
            case kPull:
                if (!parseCount(optarg, 1, LONG_MAX, v)) return bad("N must be a number from 1 on");
                if (c == kSilentFrom) o.faults.silentFrom = v;
                if (c == kErrRecord) o.faults.errRecord = v;
                if (c == kLowercaseAt) o.faults.lowercaseAt = v;
                if (c == kPull) o.pullAfter = v;
                break;
            case kLowercaseOnce:
                o.faults.lowercaseAt = 1;
                break;
            case kDelay:
            case kSplit:
                if (!parseCount(optarg, 0, 3600000, v))
                    return bad("MS must be a number of milliseconds from 0 to 3600000");
                (c == kDelay ? o.delayMs : o.splitMs) = v;
                break;
            case kStall:
                o.faults.checksumStall = true;
                break;
            default:
                std::fprintf(stderr, "keldrin-devsim: unknown or incomplete option %s\n%s", name,
                             "Try 'keldrin-devsim --help'.\n");
                return 2;
        }
    }
    if (optind < argc) {
        std::fprintf(stderr,
                     "keldrin-devsim: unexpected argument %s\nTry 'keldrin-devsim --help'.\n",
                     argv[optind]);
        return 2;
    }
    return 0;
}

bool writeAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool writeFile(const std::string& path, const std::string& bytes, std::string& error) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0 || !writeAll(fd, bytes.data(), bytes.size())) {
        error = "cannot write " + path + ": " + std::strerror(errno);
        if (fd >= 0) ::close(fd);
        return false;
    }
    if (::close(fd) != 0) {
        error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

// Answers waiting for their time on the wire.
struct Chunk {
    Clock::time_point due;
    std::string bytes;
};

const std::size_t kMaxQueuedChunks = 1 << 18;

class Device {
  public:
    // keeper: our own descriptor of the device end, held open for the whole run; watch: an
    // inotify descriptor watching the device end for opens and closes.
    Device(const Options& o, int master, int keeper, int watch, int logFd)
        : options_(o),
          master_(master),
          keeper_(keeper),
          watch_(watch),
          logFd_(logFd),
          bootloader_(o.faults) {
        ::tcgetattr(keeper_, &raw_);
        struct stat st {};
        if (::fstat(keeper_, &st) == 0) device_ = st.st_rdev;
    }

    // Serves until a signal, --once or --pull-after ends it. Returns false on a fatal error.
    bool run();
    const devsim::Bootloader& bootloader() const { return bootloader_; }

  private:
    void queue(const std::string& answer);
    void receive();
    void flushDue();
    void watchClients();
    void clientLeft();
    long countClients() const;
    void recountClients(bool justOpened);
    void dropQueue();
    int pollTimeoutMs() const;

    const Options& options_;
    int master_;
    int keeper_;
    int watch_;
    int logFd_;
    termios raw_{};
    devsim::Bootloader bootloader_;
    std::deque<Chunk> out_;
    Clock::time_point lastDue_ = Clock::time_point::min();
    dev_t device_ = 0;
    long clients_ = 0;  // descriptors of the device end held by others
    bool clientLeft_ = false;
    long received_ = 0;
    bool pulled_ = false;
    bool failed_ = false;
};

void Device::queue(const std::string& answer) {
    // A client that sends without ever reading would otherwise grow this without end; a real
    // device's transmit buffer overflows too.
    if (out_.size() >= kMaxQueuedChunks) return;
    const auto now = Clock::now();
    auto due = std::max(now + std::chrono::milliseconds(options_.delayMs), lastDue_);
    if (options_.splitMs > 0) {
        for (char c : answer) {
            out_.push_back({due, std::string(1, c)});
            lastDue_ = due + std::chrono::milliseconds(options_.splitMs);
            due = lastDue_;
        }
    } else {
        out_.push_back({due, answer});
        lastDue_ = due;
    }
}

void Device::receive() {
    char buf[4096];
    for (;;) {
        std::size_t want = sizeof buf;
        if (options_.pullAfter > 0)
            want = std::min<std::size_t>(want,
                                         static_cast<std::size_t>(options_.pullAfter - received_));
        const ssize_t n = ::read(master_, buf, want);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        received_ += n;
        if (logFd_ >= 0 && !writeAll(logFd_, buf, static_cast<std::size_t>(n))) {
            std::fprintf(stderr, "keldrin-devsim: cannot write the log: %s\n",
                         std::strerror(errno));
            failed_ = true;
            return;
        }
        std::vector<std::string> answers;
        bootloader_.feed(buf, static_cast<std::size_t>(n), answers);
        for (const std::string& a : answers) queue(a);
        if (options_.pullAfter > 0 && received_ >= options_.pullAfter) {
            pulled_ = true;
            return;
        }
    }
}

void Device::flushDue() {
    const auto now = Clock::now();
    while (!out_.empty() && out_.front().due <= now) {
        // Everything that is due goes out in one write, not one write per answer.
        std::string batch;
        for (auto it = out_.begin(); it != out_.end() && it->due <= now && batch.size() < 65536;
             ++it)
            batch += it->bytes;
        const ssize_t n = ::write(master_, batch.data(), batch.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN) return;  // the client is not reading; wait for POLLOUT
        if (n < 0) {
            dropQueue();
            return;
        }
        for (std::size_t left = static_cast<std::size_t>(n); left > 0;) {
            Chunk& c = out_.front();
            if (c.bytes.size() <= left) {
                left -= c.bytes.size();
                out_.pop_front();
            } else {
                c.bytes.erase(0, left);
                left = 0;
            }
        }
    }
}

void Device::watchClients() {
    alignas(inotify_event) char buf[4096];
    bool any = false;
    bool lastWasOpen = false;
    for (;;) {
        const ssize_t n = ::read(watch_, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        for (ssize_t at = 0; at < n;) {
            const auto* e = reinterpret_cast<const inotify_event*>(buf + at);
            if (e->mask & IN_OPEN) lastWasOpen = true;
            if (e->mask & (IN_CLOSE_WRITE | IN_CLOSE_NOWRITE)) lastWasOpen = false;
            any = true;
            at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
        }
    }
    if (any) recountClients(lastWasOpen);
}

// The events only say that someone opened or closed the device end, and the kernel merges two
// alike events that follow each other unread (a client's open and a port picker's open look
// the same), so the events cannot be counted. Who holds the device is looked up instead, among
// the programs of our own user (others may not open the device end anyway; root's are not seen
// unless we are root). -1 when that cannot be done at all.
long Device::countClients() const {
    long count = 0;
    DIR* proc = ::opendir("/proc");
    if (!proc) return -1;
    const long self = static_cast<long>(::getpid());
    while (const dirent* p = ::readdir(proc)) {
        char* end = nullptr;
        const long pid = std::strtol(p->d_name, &end, 10);
        if (*end != '\0' || pid <= 0 || pid == self) continue;
        const std::string fdDir = std::string("/proc/") + p->d_name + "/fd";
        DIR* fds = ::opendir(fdDir.c_str());
        if (!fds) continue;  // another user's program, or one that has just ended
        while (const dirent* f = ::readdir(fds)) {
            if (f->d_name[0] == '.') continue;
            struct stat st {};
            if (::fstatat(::dirfd(fds), f->d_name, &st, 0) == 0 && S_ISCHR(st.st_mode) &&
                st.st_rdev == device_)
                ++count;
        }
        ::closedir(fds);
    }
    ::closedir(proc);
    return count;
}

void Device::recountClients(bool justOpened) {
    long n = countClients();
    // Without /proc the device never cuts a client off. An opener is reported a moment before
    // its descriptor shows.
    if (n < 0 || (n == 0 && justOpened)) n = 1;
    if (n == 0 && clients_ > 0) clientLeft();
    clients_ = n;
}

void Device::clientLeft() {
    clientLeft_ = true;
    // What the client did not read would greet the next one; on a real line it is lost.
    dropQueue();
    ::tcflush(keeper_, TCIFLUSH);
    // The pair outlives its clients, and with it any line settings and the exclusive-use flag
    // the last client left: the next client must find the port raw and free (freed last, so a
    // client that gets in finds the line already raw).
    ::tcsetattr(keeper_, TCSANOW, &raw_);
    ::ioctl(keeper_, TIOCNXCL);
}

int Device::pollTimeoutMs() const {
    // An answer that is due waits for POLLOUT (room in the line), which wakes the loop; a later
    // one for its time.
    if (out_.empty()) return -1;
    const auto wait = out_.front().due - Clock::now();
    if (wait <= Clock::duration::zero()) return -1;
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(wait).count();
    return static_cast<int>(std::min<long long>(ms, 60000));
}

void Device::dropQueue() {
    out_.clear();
    lastDue_ = Clock::time_point::min();
}

bool Device::run() {
    for (;;) {
        const bool wantOut = !out_.empty() && out_.front().due <= Clock::now();
        pollfd fds[3] = {{signalPipe[0], POLLIN, 0},
                         {watch_, POLLIN, 0},
                         {master_, static_cast<short>(POLLIN | (wantOut ? POLLOUT : 0)), 0}};
        if (::poll(fds, 3, pollTimeoutMs()) < 0 && errno != EINTR) {
            std::fprintf(stderr, "keldrin-devsim: poll: %s\n", std::strerror(errno));
            return false;
        }
        if (fds[0].revents & POLLIN) return true;  // SIGINT, SIGTERM or SIGHUP
        // Opens and closes first: data that arrives is then known to come from a client that
        // is there, or from one that has already gone and will never read the answer.
        if (fds[1].revents & POLLIN) watchClients();
        if (fds[2].revents & POLLIN) {
            receive();
            // Data comes from someone who holds the device, possibly one whose open was
            // reported before its descriptor showed.
            if (clients_ == 0) recountClients(false);
        }
        if (failed_) return false;
        if (pulled_) return true;
        if (clientLeft_ && options_.once) return true;
        if (clients_ > 0)
            flushDue();
        else
            dropQueue();
    }
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    bool helpShown = false;
    if (const int rc = parseOptions(argc, argv, options, helpShown); rc != 0 || helpShown)
        return rc;

    if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        std::perror("keldrin-devsim: pipe");
        return 1;
    }
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    ::sigaction(SIGINT, &sa, nullptr);
    ::sigaction(SIGTERM, &sa, nullptr);
    // A closed terminal window should not leave a stale port map entry behind either.
    ::sigaction(SIGHUP, &sa, nullptr);
    ::signal(SIGPIPE, SIG_IGN);

    int logFd = -1;
    if (!options.logPath.empty()) {
        logFd = ::open(options.logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (logFd < 0) {
            std::fprintf(stderr, "keldrin-devsim: cannot open the log %s: %s\n",
                         options.logPath.c_str(), std::strerror(errno));
            return 1;
        }
    }

    int master = -1, slave = -1;
    char name[256] = {};
    if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        std::perror("keldrin-devsim: openpty");
        return 1;
    }
    // Raw both ways: no echo of what the client sends, no CR/LF rewriting of the answers.
    termios tio{};
    ::tcgetattr(slave, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(slave, TCSANOW, &tio);
    // The device end stays open here for the whole run: the pair, and so the device path,
    // lives on between clients, and clients are told apart by watching the path for opens and
    // closes (the kernel reports those on device nodes too).
    ::fcntl(slave, F_SETFD, FD_CLOEXEC);
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (watch < 0 ||
        ::inotify_add_watch(watch, name, IN_OPEN | IN_CLOSE_WRITE | IN_CLOSE_NOWRITE) < 0) {
        std::fprintf(stderr, "keldrin-devsim: cannot watch %s for clients: %s\n", name,
                     std::strerror(errno));
        return 1;
    }

    const std::string device = name;
    std::string mapPath;
    std::string error;
    if (options.com != 0) {
        mapPath = devsim::portMapPath();
        if (!devsim::setPortEntry(mapPath, options.com, device, error)) {
            std::fprintf(stderr, "keldrin-devsim: %s\n", error.c_str());
            return 1;
        }
    }
    std::printf("%s\n", device.c_str());
    std::fflush(stdout);

    Device dev(options, master, slave, watch, logFd);
    int rc = dev.run() ? 0 : 1;
    // Closing the master is what a client sees as the cable going.
    ::close(master);
    ::close(slave);
    ::close(watch);

    if (options.com != 0 && !devsim::removePortEntry(mapPath, options.com, device, error)) {
        std::fprintf(stderr, "keldrin-devsim: %s\n", error.c_str());
        rc = 1;
    }
    if (logFd >= 0 && ::close(logFd) != 0) {
        std::fprintf(stderr, "keldrin-devsim: cannot write the log: %s\n", std::strerror(errno));
        rc = 1;
    }
    if (!options.imagePath.empty()) {
        std::string bytes;
        if (!dev.bootloader().image(bytes, error) || !writeFile(options.imagePath, bytes, error)) {
            std::fprintf(stderr, "keldrin-devsim: %s\n", error.c_str());
            rc = 1;
        }
    }
    return rc;
}
